@echo off
rem Entfernt Qorv Notiz 2.1.
echo Qorv Notiz wird entfernt.

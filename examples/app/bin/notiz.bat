@echo off
rem Qorv Notiz 2.1: öffnet eine Notiz oder legt eine neue an.
if "%1"=="/neu" (echo Neue Notiz) else (type "%~1")

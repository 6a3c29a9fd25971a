@echo off
echo Qorv-Demo 1.0

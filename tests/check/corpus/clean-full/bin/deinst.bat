@echo off
rem Deinstallation

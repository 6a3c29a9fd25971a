@echo off
start notepad

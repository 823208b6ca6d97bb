:; echo installed > "$(dirname "$0")/install_super.done"; exit 0
@echo off
rem Demo stand-in for the server's service installation script. It installs nothing: it only
rem leaves the marker file install_super.done beside itself, so a test can see that it ran.
rem The first line does the same when a POSIX shell runs the script (cmd takes it for a label).
echo installed> "%~dp0install_super.done"

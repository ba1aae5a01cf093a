@echo off
rem run-tests.cmd [/registry] [PATH\Quorvane.exe]: runs bin\*_tests.exe on
rem PATH\Quorvane.exe (by default bin\Quorvane.exe) and ends with "N passed,
rem M failed, K skipped", read from each program's own summary; the status is
rem 0 only when M is 0. /registry lets the registry cases create keys of their
rem own where no installation key exists that they did not create; elsewhere
rem they skip, naming it (README.txt). Output: results\.
setlocal
set "here=%~dp0"
set "QUORVANE_EXE=%here%bin\Quorvane.exe"
set QUORVANE_REGISTRY_TESTS=
if /i "%~1"=="/registry" (
  set "QUORVANE_REGISTRY_TESTS=%COMPUTERNAME%"
  shift
)
if not "%~1"=="" set "QUORVANE_EXE=%~f1"
if not "%~2"=="" goto usage
if exist "%QUORVANE_EXE%" goto found
echo run-tests: no such program: %QUORVANE_EXE%
exit /b 2
:found
echo Testing %QUORVANE_EXE%
set "results=%here%results"
if exist "%results%" rd /s /q "%results%"
md "%results%"
if not exist "%results%\" exit /b 2
set /a passed=0, failed=0, skipped=0, programs=0
pushd "%here%bin"
for %%p in (*_tests.exe) do call :program "%%~fp" %%~np
popd
if not %programs%==0 goto summary
echo run-tests: no test program in %here%bin
set /a failed+=1
:summary
echo.
echo %passed% passed, %failed% failed, %skipped% skipped
if %failed%==0 exit /b 0
exit /b 1

:usage
echo usage: run-tests.cmd [/registry] [PATH\Quorvane.exe]
exit /b 2

rem :program EXE NAME: runs one program, then adds up the numbers of its
rem summary lines ("[  PASSED  ] 12 tests.", "[  FAILED  ] 1 test, ...").
rem A program that ends without its summary, or fails without naming a
rem failed test, counts as one failure.
:program
set /a programs+=1
set "log=%results%\%2.log"
"%~1" --gtest_output=xml:"%results%\%2.xml" >"%log%" 2>&1
set status=%errorlevel%
set /a summaries=0, was=failed, p=0, f=0, s=0
for /f "usebackq tokens=1-4" %%a in ("%log%") do (
  if "%%a%%b%%c"=="[PASSED]" call :add p "%%d"
  if "%%a%%b%%c"=="[FAILED]" call :add f "%%d"
  if "%%a%%b%%c"=="[SKIPPED]" call :add s "%%d"
)
set /a passed+=p, failed+=f, skipped+=s
if not %summaries%==0 goto counted
set /a failed+=1
echo %2: ended with status %status% before its summary; see %log%
goto :eof
:counted
if not %status%==0 if %failed%==%was% set /a failed+=1
echo %2: %p% passed, %f% failed, %s% skipped (status %status%)
goto :eof

rem :add COUNTER WORD: adds WORD to COUNTER when it is a number; a summary's
rem count is, a test's name is not.
:add
set n=
set /a "n=%~2" 2>nul
if not "%n%"=="%~2" goto :eof
set /a %1+=n
if %1==p set /a summaries+=1
goto :eof

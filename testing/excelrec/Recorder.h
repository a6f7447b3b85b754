// The recording "Excel.Application" of the tests, shared by the in-process library
// (tests/standins/excelstub) and the local server (excelrec.exe): every object answers every
// name, records each call on it as one line and hands out a fresh object for every get, so that a
// test can compare the exact sequence of calls a client made. A get of "Version" answers the
// version text the recorder was given.
//
// A line reads: "o<obj> get|put|call <Name>(<args>)[ = <value>][ -> o<new>|"<text>"]", with
// arguments as 12, 1.5, "text", &"text" (by reference), true/false, null, empty, o<obj>.
#pragma once
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <oleauto.h>

#include <string>

namespace excelrec {

// A new application object, logged as "create -> o<id>"; the caller owns one reference.
IDispatch* CreateApplication();
// The class object that makes application objects (static: no reference counting).
IClassFactory* ApplicationFactory();
// The count of LockServer locks held on it.
LONG ServerLocks();

void Log(const std::string& line);
// UTF-16 text in cp1251, as the log has it.
std::string Narrow(const wchar_t* w, int n);
const std::string& LogText();
// Each line is also appended to this file (the local server's log); empty: none.
void SetLogFile(const std::wstring& path);
void SetVersion(const std::string& version);
// Forgets the log and numbers new objects from 0 again; call with no object alive.
void Reset();
int LiveObjects();
// The n-th Invoke from now (1-based) fails with a server exception "Stub failure"; 0: none.
void FailAt(int n);
// The n-th Invoke from the start (1-based) is refused once with Excel's "cannot take the call
// now" (0x800AC472, as while a cell is being edited), logged as "editing"; 0: none.
void RefuseWhileEditingAt(int n);
// Called whenever the last live object has gone.
void OnLastObjectGone(void (*f)());

}  // namespace excelrec

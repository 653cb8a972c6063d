// The platform calls through which the Win32 device back-ends reach floppy
// drives, SCSI pass-through and the ASPI layer. The back-ends make these calls only through
// devicePlatform, so that a test can stand in for the devices and see exactly
// what the back-ends send; the program runs with the platform's own functions.
#pragma once
#ifdef _WIN32
#include "win32_compat.h"

// The two entry points of WNASPI32.DLL; the ASPI for Win32 interface declares both __cdecl.
typedef DWORD(__cdecl* AspiSupportInfoFunction)();
typedef DWORD(__cdecl* AspiSendCommandFunction)(void* request);

struct DevicePlatform {
  decltype(&::CreateFileA) CreateFileA;
  decltype(&::DeviceIoControl) DeviceIoControl;
  decltype(&::SetFilePointer) SetFilePointer;
  decltype(&::ReadFile) ReadFile;
  decltype(&::WriteFile) WriteFile;
  decltype(&::CloseHandle) CloseHandle;
  decltype(&::SetErrorMode) SetErrorMode;
  decltype(&::LoadLibraryA) LoadLibraryA;
  decltype(&::GetProcAddress) GetProcAddress;
  decltype(&::FreeLibrary) FreeLibrary;
  decltype(&::GetLogicalDrives) GetLogicalDrives;
  decltype(&::GetVersionExA) GetVersionExA;
  // The ASPI layer's entry points as LoadAspi found them; null until it succeeds.
  AspiSupportInfoFunction GetASPI32SupportInfo;
  AspiSendCommandFunction SendASPI32Command;
};

extern DevicePlatform devicePlatform;

// The table as the program starts with it: the platform's functions, no ASPI layer.
DevicePlatform DefaultDevicePlatform();
#endif

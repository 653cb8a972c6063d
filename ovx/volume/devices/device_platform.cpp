#include "device_platform.h"

DevicePlatform DefaultDevicePlatform() {
  return {::CreateFileA, ::DeviceIoControl, ::SetFilePointer, ::ReadFile, ::WriteFile, ::CloseHandle,
          ::SetErrorMode, ::LoadLibraryA, ::GetProcAddress, ::FreeLibrary, ::GetLogicalDrives, ::GetVersionExA,
          nullptr, nullptr};
}

DevicePlatform devicePlatform = DefaultDevicePlatform();

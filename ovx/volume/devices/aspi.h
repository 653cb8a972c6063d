// The ASPI for Win32 request blocks that OVX sends to WNASPI32.DLL, laid out
// byte for byte as that interface defines them for 32-bit Windows, the only
// Windows it exists for: a 64-bit program can neither load the layer nor
// hand it blocks of 32-bit pointers, so the blocks are not defined there.
// LoadAspi, the four SCSI commands and the bound on waiting for one are
// declared with the other back-ends in device_backends.h.
#pragma once
#ifdef _WIN32
#include <cstddef>

#include "win32_compat.h"

enum {
  SC_EXEC_SCSI_CMD = 0x02,
  SC_ABORT_SRB = 0x03,

  // SRB_Status, and bits 8 to 15 of GetASPI32SupportInfo's result.
  SS_PENDING = 0x00,
  SS_COMP = 0x01,
  SS_ABORTED = 0x02,
  SS_ERR = 0x04,
  SS_INVALID_HA = 0x81,
  SS_NO_DEVICE = 0x82,
  SS_NO_ADAPTERS = 0xE8,

  SRB_DIR_IN = 0x08,   // data from the device
  SRB_DIR_OUT = 0x10,  // data to the device

  SENSE_LEN = 14,
};

#ifndef _WIN64
#pragma pack(push, 1)
// Execute a SCSI command. No completion routine is given: the sender polls SRB_Status.
struct SRB_ExecSCSICmd {
  BYTE SRB_Cmd;  // SC_EXEC_SCSI_CMD
  BYTE SRB_Status;
  BYTE SRB_HaId;
  BYTE SRB_Flags;
  DWORD SRB_Hdr_Rsvd;
  BYTE SRB_Target;
  BYTE SRB_Lun;
  WORD SRB_Rsvd1;
  DWORD SRB_BufLen;
  BYTE* SRB_BufPointer;
  BYTE SRB_SenseLen;
  BYTE SRB_CDBLen;
  BYTE SRB_HaStat;
  BYTE SRB_TargStat;
  void* SRB_PostProc;
  BYTE SRB_Rsvd2[20];
  BYTE CDBByte[16];
  BYTE SenseArea[SENSE_LEN + 2];
};

// Abort a command still pending; answered at once.
struct SRB_Abort {
  BYTE SRB_Cmd;  // SC_ABORT_SRB
  BYTE SRB_Status;
  BYTE SRB_HaId;
  BYTE SRB_Flags;
  DWORD SRB_Hdr_Rsvd;
  void* SRB_ToAbort;
};
#pragma pack(pop)

static_assert(sizeof(void*) == 4, "the ASPI for Win32 layout is that of 32-bit Windows");
static_assert(sizeof(SRB_ExecSCSICmd) == 80, "SRB_ExecSCSICmd is 80 bytes");
static_assert(offsetof(SRB_ExecSCSICmd, SRB_Status) == 1 && offsetof(SRB_ExecSCSICmd, SRB_HaId) == 2 &&
                  offsetof(SRB_ExecSCSICmd, SRB_Flags) == 3 && offsetof(SRB_ExecSCSICmd, SRB_Target) == 8 &&
                  offsetof(SRB_ExecSCSICmd, SRB_Lun) == 9 && offsetof(SRB_ExecSCSICmd, SRB_BufLen) == 12 &&
                  offsetof(SRB_ExecSCSICmd, SRB_BufPointer) == 16 && offsetof(SRB_ExecSCSICmd, SRB_SenseLen) == 20 &&
                  offsetof(SRB_ExecSCSICmd, SRB_CDBLen) == 21 && offsetof(SRB_ExecSCSICmd, SRB_HaStat) == 22 &&
                  offsetof(SRB_ExecSCSICmd, SRB_TargStat) == 23 && offsetof(SRB_ExecSCSICmd, SRB_PostProc) == 24 &&
                  offsetof(SRB_ExecSCSICmd, SRB_Rsvd2) == 28 && offsetof(SRB_ExecSCSICmd, CDBByte) == 48 &&
                  offsetof(SRB_ExecSCSICmd, SenseArea) == 64,
              "SRB_ExecSCSICmd fields lie where the ASPI for Win32 interface puts them");
static_assert(sizeof(SRB_Abort) == 12 && offsetof(SRB_Abort, SRB_ToAbort) == 8,
              "SRB_Abort fields lie where the ASPI for Win32 interface puts them");
#endif
#endif

// The records of the platform's SCSI pass-through (Windows NT and later) as
// OVX sends and reads them: a command with its sense room, a unit's address,
// and the adapter's list of the units on its buses. They hold pointers and
// are aligned as the build's Windows aligns them, so their layout differs
// between the 32-bit and the 64-bit build; both are checked here. Answers of
// the platform are read by these offsets, never by laying a record over them.
// LoadPassThrough and the commands are declared with the other back-ends in
// device_backends.h.
#pragma once
#ifdef _WIN32
#include <cstddef>

#include "win32_compat.h"

#include <winioctl.h>
#include <ntddscsi.h>

// A command as IOCTL_SCSI_PASS_THROUGH_DIRECT takes it, its sense data right behind.
struct PassThroughRequest {
  SCSI_PASS_THROUGH_DIRECT record;
  ULONG filler;  // keeps the sense room where the platform's own examples put it
  UCHAR sense[32];
};

static_assert(IOCTL_SCSI_PASS_THROUGH_DIRECT == 0x4D014 && IOCTL_SCSI_GET_ADDRESS == 0x41018 &&
                  IOCTL_SCSI_GET_INQUIRY_DATA == 0x4100C && IOCTL_STORAGE_GET_DEVICE_NUMBER == 0x2D1080 &&
                  IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS == 0x560000,
              "the platform's control codes");
static_assert(SCSI_IOCTL_DATA_OUT == 0 && SCSI_IOCTL_DATA_IN == 1 && SCSI_IOCTL_DATA_UNSPECIFIED == 2,
              "the pass-through's data directions");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, ScsiStatus) == 2 && offsetof(SCSI_PASS_THROUGH_DIRECT, PathId) == 3 &&
                  offsetof(SCSI_PASS_THROUGH_DIRECT, TargetId) == 4 && offsetof(SCSI_PASS_THROUGH_DIRECT, Lun) == 5 &&
                  offsetof(SCSI_PASS_THROUGH_DIRECT, CdbLength) == 6 &&
                  offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoLength) == 7 &&
                  offsetof(SCSI_PASS_THROUGH_DIRECT, DataIn) == 8 &&
                  offsetof(SCSI_PASS_THROUGH_DIRECT, DataTransferLength) == 12 &&
                  offsetof(SCSI_PASS_THROUGH_DIRECT, TimeOutValue) == 16,
              "SCSI_PASS_THROUGH_DIRECT starts alike on both builds");
// From DataBuffer on they differ: 64-bit Windows puts its 8-byte pointer on an 8-byte boundary.
constexpr bool kPointers64 = sizeof(void*) == 8;
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == (kPointers64 ? 56 : 44) &&
                  offsetof(SCSI_PASS_THROUGH_DIRECT, DataBuffer) == (kPointers64 ? 24 : 20) &&
                  offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoOffset) == (kPointers64 ? 32 : 24) &&
                  offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb) == (kPointers64 ? 36 : 28) &&
                  sizeof(PassThroughRequest) == (kPointers64 ? 96 : 80) &&
                  offsetof(PassThroughRequest, sense) == (kPointers64 ? 60 : 48),
              "SCSI_PASS_THROUGH_DIRECT and the request with its sense room, as each build's Windows lays them");
static_assert(sizeof(SCSI_ADDRESS) == 8 && offsetof(SCSI_ADDRESS, PortNumber) == 4 &&
                  offsetof(SCSI_ADDRESS, PathId) == 5 && offsetof(SCSI_ADDRESS, TargetId) == 6 &&
                  offsetof(SCSI_ADDRESS, Lun) == 7,
              "SCSI_ADDRESS");
static_assert(sizeof(STORAGE_DEVICE_NUMBER) == 12 && offsetof(STORAGE_DEVICE_NUMBER, DeviceNumber) == 4,
              "STORAGE_DEVICE_NUMBER");

// IOCTL_SCSI_GET_INQUIRY_DATA answers SCSI_ADAPTER_BUS_INFO: a count of
// buses, one SCSI_BUS_DATA each, and from each bus's offset a chain of
// SCSI_INQUIRY_DATA records, each giving the offset of the next (0 ends it).
// VOLUME_DISK_EXTENTS: a count, then DISK_EXTENT records.
enum {
  kBusInfoBusesOffset = 4,
  kBusDataBytes = 8,
  kBusDataUnitCountOffset = 0,
  kBusDataInquiryOffset = 4,
  kInquiryRecordPathOffset = 0,
  kInquiryRecordTargetOffset = 1,
  kInquiryRecordLunOffset = 2,
  kInquiryRecordNextOffset = 8,
  kInquiryRecordDataOffset = 12,
  kExtentsFirstOffset = 8,
  kExtentBytes = 24,
  kExtentDiskNumberOffset = 0,
};
static_assert(offsetof(SCSI_ADAPTER_BUS_INFO, BusData) == kBusInfoBusesOffset &&
                  sizeof(SCSI_BUS_DATA) == kBusDataBytes &&
                  offsetof(SCSI_BUS_DATA, NumberOfLogicalUnits) == kBusDataUnitCountOffset &&
                  offsetof(SCSI_BUS_DATA, InquiryDataOffset) == kBusDataInquiryOffset,
              "SCSI_ADAPTER_BUS_INFO and SCSI_BUS_DATA");
static_assert(offsetof(SCSI_INQUIRY_DATA, PathId) == kInquiryRecordPathOffset &&
                  offsetof(SCSI_INQUIRY_DATA, TargetId) == kInquiryRecordTargetOffset &&
                  offsetof(SCSI_INQUIRY_DATA, Lun) == kInquiryRecordLunOffset &&
                  offsetof(SCSI_INQUIRY_DATA, NextInquiryDataOffset) == kInquiryRecordNextOffset &&
                  offsetof(SCSI_INQUIRY_DATA, InquiryData) == kInquiryRecordDataOffset,
              "SCSI_INQUIRY_DATA");
static_assert(offsetof(VOLUME_DISK_EXTENTS, Extents) == kExtentsFirstOffset && sizeof(DISK_EXTENT) == kExtentBytes &&
                  offsetof(DISK_EXTENT, DiskNumber) == kExtentDiskNumberOffset,
              "VOLUME_DISK_EXTENTS and DISK_EXTENT");
#endif

// Disk imaging in the real main window. Floppy drive A: and the SCSI devices
// stand in for hardware at the platform's own interfaces (the device calls,
// the SCSI pass-through and, on the 32-bit build, WNASPI32.DLL); the SCSI
// cases run through each layer the build has. The Open dialog and the
// progress dialog are answered from another thread, as a user would; every
// copy is compared with the sectors of the other side by SHA-256.
#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "device_platform.h"
#include "disk_imaging.h"
#include "explorer_fixture.h"
#include "fake_devices.h"
#include "fake_floppy_drive.h"
#include "fake_scsi_bus.h"
#include "fake_scsi_layers.h"
#include "file_list.h"
#include "image_builders.h"
#include "list_directory.h"
#include "progress_dialog.h"
#include "resource_ids.h"
#include "source_tree.h"

namespace {

const char kCreateTitle[] = "Disk image file to create or overwrite";
const char kWriteTitle[] = "Select a disk image to write to disk";
const size_t kFloppyBytes = 1474560;

std::string Sha256(const Bytes& bytes) {
  std::string hex;
  HCRYPTPROV provider = 0;
  HCRYPTHASH hash = 0;
  BYTE digest[32];
  DWORD length = sizeof digest;
  if (CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) &&
      CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash) &&
      CryptHashData(hash, bytes.data(), static_cast<DWORD>(bytes.size()), 0) &&
      CryptGetHashParam(hash, HP_HASHVAL, digest, &length, 0)) {
    char text[3];
    for (DWORD i = 0; i < length; ++i) {
      snprintf(text, sizeof text, "%02x", digest[i]);
      hex += text;
    }
  }
  if (hash) CryptDestroyHash(hash);
  if (provider) CryptReleaseContext(provider, 0);
  return hex;
}

Bytes Slice(const Bytes& bytes, size_t firstSector, size_t sectors) {
  const size_t from = std::min(bytes.size(), firstSector * 512);
  return Bytes(bytes.begin() + from, bytes.begin() + std::min(bytes.size(), from + sectors * 512));
}

Bytes Pattern(size_t bytes, uint8_t seed) {
  Bytes data(bytes);
  for (size_t i = 0; i < bytes; ++i) data[i] = static_cast<uint8_t>(i * 7 + i / 512 + seed);
  return data;
}

// Every read and write that reaches drive A:, with the status text the copy
// had published before it; onRead runs on the copying thread at each read.
struct DriveCall {
  bool write;
  int64_t firstSector;
  DWORD bytes;
  std::string status;
  Volume* currentVolume;
};
std::vector<DriveCall> driveCalls;
std::function<void(size_t)> onRead;
decltype(&::ReadFile) driveRead;
decltype(&::WriteFile) driveWrite;

int64_t DrivePosition(HANDLE drive) {
  LONG high = 0;
  const DWORD low = SetFilePointer(drive, 0, &high, FILE_CURRENT);
  return (static_cast<int64_t>(high) << 32 | low) / 512;
}

BOOL WINAPI RecordRead(HANDLE file, LPVOID memory, DWORD bytes, LPDWORD done, LPOVERLAPPED overlapped) {
  if (file == fakeFloppy.device) {
    driveCalls.push_back({false, DrivePosition(file), bytes, progress.statusText, explorer.currentVolume});
    if (onRead) onRead(driveCalls.size() - 1);
  }
  return driveRead(file, memory, bytes, done, overlapped);
}

BOOL WINAPI RecordWrite(HANDLE file, LPCVOID memory, DWORD bytes, LPDWORD done, LPOVERLAPPED overlapped) {
  if (file == fakeFloppy.device) {
    driveCalls.push_back({true, DrivePosition(file), bytes, progress.statusText, explorer.currentVolume});
  }
  return driveWrite(file, memory, bytes, done, overlapped);
}

// What the other thread saw of the two dialogs.
struct Seen {
  std::string openTitle, filter;
  bool progressUp = false;
  std::vector<std::string> texts;  // of the status control, as they changed
};

HWND AwaitDialog(const char* caption, const std::atomic<bool>& done) {
  // Generous: the first Open dialog of a process is slow to come up on a busy machine.
  for (int i = 0; i < 5000 && !done; ++i) {
    HWND dialog = FindWindowA("#32770", caption);
    if (dialog && IsWindowVisible(dialog)) return dialog;
    Sleep(2);
  }
  return nullptr;
}

// Types path into the Open dialog and presses Open.
void AnswerOpenDialog(HWND dialog, const std::string& path, Seen* seen) {
  char text[256] = "";
  GetWindowTextA(dialog, text, sizeof text);
  seen->openTitle = text;
  SendDlgItemMessageA(dialog, cmb1, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
  seen->filter = text;
  HWND name = GetDlgItem(dialog, cmb13);
  if (!name) name = GetDlgItem(dialog, edt1);
  SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}

// Cancel before the first chunk: a message the main window takes while the
// copy starts up, which waits for the progress dialog and presses its Cancel.
const UINT kCancelOnStart = WM_APP + 77;
WNDPROC cancelOnStart;

WNDPROC SubclassWindow(HWND window, WNDPROC procedure) {
  return reinterpret_cast<WNDPROC>(SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure)));
}

// On the copying thread: waits until the progress dialog shows, answering
// what the dialog thread sends meanwhile (it disables its owner).
HWND AwaitProgressDialog() {
  MSG sent;
  for (int i = 0; i < 2500 && !(progress.dialog && IsWindowVisible(progress.dialog)); ++i) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_SENDMESSAGE);
    PeekMessageA(&sent, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  return progress.dialog;
}

LRESULT CALLBACK CancelOnStartProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != kCancelOnStart) return CallWindowProcA(cancelOnStart, window, message, wParam, lParam);
  if (!progress.thread) {
    // Still in the Open dialog's loop: wait for the copy to start.
    Sleep(1);
    PostMessageA(window, kCancelOnStart, 0, 0);
    return 0;
  }
  SendDlgItemMessageA(AwaitProgressDialog(), IDCANCEL, BM_CLICK, 0, 0);
  return 0;
}

struct Outcome {
  Seen seen;
  std::string titleBefore, titleAfter;
  bool captured, waitCursor, refreshPosted;
};

// Runs a File command as the menu does, choosing path in the Open dialog. The
// progress dialog is watched while it is up; cancelAtOnce presses its Cancel
// before the first chunk.
Outcome RunCommand(WORD command, const std::string& path, const char* progressCaption, bool cancelAtOnce = false) {
  Outcome outcome = {};
  outcome.titleBefore = Title();
  std::atomic<bool> done{false};
  if (cancelAtOnce) cancelOnStart = SubclassWindow(explorer.mainWindow, CancelOnStartProc);
  std::thread user([&] {
    const char* openTitle = command == ID_FILE_IMAGE_TO_PHYSICAL ? kWriteTitle : kCreateTitle;
    HWND open = AwaitDialog(openTitle, done);
    if (!open) return;
    Sleep(100);
    AnswerOpenDialog(open, path, &outcome.seen);
    if (cancelAtOnce) PostMessageA(explorer.mainWindow, kCancelOnStart, 0, 0);
    HWND dialog = AwaitDialog(progressCaption, done);
    if (!dialog) return;
    outcome.seen.progressUp = true;
    while (IsWindow(dialog) && IsWindowVisible(dialog)) {
      char text[256] = "";
      GetDlgItemTextA(dialog, IDC_PROGRESS_STATUS, text, sizeof text);
      if (text[0] && (outcome.seen.texts.empty() || outcome.seen.texts.back() != text)) {
        outcome.seen.texts.push_back(text);
      }
      Sleep(5);
    }
  });
  SendMessageA(explorer.mainWindow, WM_COMMAND, command, 0);
  if (cancelAtOnce) SubclassWindow(explorer.mainWindow, cancelOnStart);
  const DWORD openError = CommDlgExtendedError();
  done = true;
  user.join();
  EXPECT_FALSE(outcome.seen.openTitle.empty()) << "no Open dialog was answered; CommDlgExtendedError " << openError;
  outcome.titleAfter = Title();
  outcome.captured = GetCapture() != nullptr;
  outcome.waitCursor = GetCursor() == LoadCursorA(nullptr, IDC_WAIT);
  MSG message;
  outcome.refreshPosted = PeekMessageA(&message, explorer.mainWindow, WM_COMMAND, WM_COMMAND, PM_REMOVE) &&
                          message.wParam == ID_VIEW_REFRESH;
  return outcome;
}

void ExpectRestored(const Outcome& outcome) {
  EXPECT_EQ(outcome.titleBefore, outcome.titleAfter);
  EXPECT_FALSE(outcome.captured);
  EXPECT_FALSE(outcome.waitCursor);
  EXPECT_TRUE(outcome.refreshPosted);
}

std::string Status(int sector, int count, int kilobytes, int percent) {
  char text[128];
  snprintf(text, sizeof text, "Disk sector %d of %d\n%dK copied (%d%%)", sector, count, kilobytes, percent);
  return text;
}

class Imaging : public ExplorerWindow {
 protected:
  void SetUp() override {
    ExplorerWindow::SetUp();
    ForgetLastFolder();
  }
  // The Open dialog starts in the folder this program chose last, which was
  // a scratch folder of an earlier run and is gone: Wine's dialog then
  // closes at once as if cancelled.
  static void ForgetLastFolder() {
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\LastVisitedMRU");
  }
  // The floppy drive goes before the SCSI layer, which any case puts in place first.
  void TearDown() override {
    UseDriveRecorder(false);
    standIn_.reset();
    RemoveFakeFloppyDrive();
    scsi_.reset();
    ExplorerWindow::TearDown();
  }

  // SCSI devices from now on come from this layer's fake.
  void UseScsiLayer(FakeScsiLayerKind kind) {
    scsi_ = MakeFakeScsiLayer(kind);
    ASSERT_NE(nullptr, scsi_) << "the test's WNASPI32.DLL is not beside the test";
  }

  // Lists drive A:, whose disk is the file disk, as a click on its node does.
  void ListFloppy(const Bytes& disk, int64_t badSector = -1) {
    floppyPath_ = dir_.File("floppy.img");
    ASSERT_TRUE(WriteFileBytes(floppyPath_, disk));
    ASSERT_EQ(1, InstallFakeFloppyDrive(floppyPath_.c_str(), badSector));
    // Where the platform reports a removable A:, the table holds it after the SCSI devices.
    SourceTable& table = explorer.sourceTable;
    ASSERT_EQ(table.floppyEnd, table.sourceCount);
    AppendSource("Non-DOS floppy on A:");
    table.floppyEnd = table.sourceCount;
    ASSERT_EQ(1, InsertSourceNode(table.sourceCount - 1));
    ASSERT_EQ(1, SelectSource(NodeAt(table.sourceCount - 1)));
    ASSERT_EQ(KindFloppy, explorer.currentVolume->kind);
    UseDriveRecorder(true);
  }

  // Lists a SCSI disk at adapter 0, target 1, served by stand-ins for the
  // back-ends' SCSI commands: the seam below every SCSI interface, so that
  // the case runs on every build.
  void ListStandInScsi(const Bytes& disk) {
    standIn_.reset(new FakeDevices);
    standIn_->scsi = disk;
    SourceTable& table = explorer.sourceTable;
    ASSERT_EQ(table.scsiEnd, table.sourceCount) << "floppy drives or images listed before";
    AppendSource("SCSI ctl:0 dev:1");
    table.scsiEnd = table.floppyEnd = table.sourceCount;
    ASSERT_EQ(1, InsertSourceNode(table.sourceCount - 1));
    ASSERT_EQ(1, SelectSource(NodeAt(table.sourceCount - 1)));
    ASSERT_EQ(KindScsi, explorer.currentVolume->kind);
    standIn_->scsiCalls.clear();
  }

  static void AppendSource(const char* text) {
    SourceTable& table = explorer.sourceTable;
    table.sources = static_cast<char**>(
        HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, table.sources, (table.sourceCount + 1) * sizeof(char*)));
    table.sources[table.sourceCount] = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, strlen(text) + 1));
    strcpy(table.sources[table.sourceCount], text);
    ++table.sourceCount;
  }

  // The block counts of the stand-in SCSI device's reads.
  std::vector<uint32_t> StandInReads() const {
    std::vector<uint32_t> reads;
    for (const ScsiCall& call : standIn_->scsiCalls) {
      if (call.command == 'R') reads.push_back(call.blockCount);
    }
    return reads;
  }

  // Lists the SCSI device at target 1 of adapter 0, served from disk.
  void ListScsi(const Bytes& disk, FakeScsiKind kind, const char* name = "scsi.img") {
    ASSERT_NE(nullptr, scsi_) << "a SCSI case without its layer";
    scsiPath_ = dir_.File(name);
    ASSERT_TRUE(WriteFileBytes(scsiPath_, disk));
    scsi_->Reset(1);
    ASSERT_TRUE(scsi_->AddDevice(0, 1, kind, scsiPath_));
    ASSERT_EQ(1, FillTree());
    const int index = explorer.sourceTable.logicalDriveEnd;
    ASSERT_EQ(SourceScsi, GetSourceClass(index));
    // Selected in the tree as from the keyboard: the tree filled anew has no
    // selection, and would take its first node when it gets the focus back.
    SendMessageA(explorer.treeWindow, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(NodeAt(index)));
    ASSERT_EQ(index, explorer.currentSource);
    ASSERT_EQ(KindScsi, explorer.currentVolume->kind);
    MarkScsiLog();
  }

  // Commands are counted from the last mark on: listings read the device too.
  void MarkScsiLog() { mark_ = scsi_->Commands().size(); }
  int ScsiCommands(uint8_t operation) {
    const std::vector<ReceivedScsiCommand> all = scsi_->Commands();
    return CountScsiCommands(std::vector<ReceivedScsiCommand>(all.begin() + std::min(mark_, all.size()), all.end()), 0, 1,
                             operation);
  }
  int ScsiWrites() { return ScsiCommands(0x0A) + ScsiCommands(0x2A); }
  int ScsiReads() { return ScsiCommands(0x08) + ScsiCommands(0x28); }

  void UseDriveRecorder(bool on) {
    driveCalls.clear();
    onRead = nullptr;
    if (on && !driveRead) {
      driveRead = devicePlatform.ReadFile;
      driveWrite = devicePlatform.WriteFile;
      devicePlatform.ReadFile = RecordRead;
      devicePlatform.WriteFile = RecordWrite;
    } else if (!on && driveRead) {
      devicePlatform.ReadFile = driveRead;
      devicePlatform.WriteFile = driveWrite;
      driveRead = nullptr;
      driveWrite = nullptr;
    }
  }

  int DriveCalls(bool write) {
    int count = 0;
    for (const DriveCall& call : driveCalls) count += call.write == write;
    return count;
  }

  ScratchDir dir_;
  std::unique_ptr<FakeDevices> standIn_;
  std::unique_ptr<FakeScsiLayer> scsi_;
  std::string floppyPath_, scsiPath_;
  size_t mark_ = 0;
};

// The SCSI cases, through each layer the build has.
class ScsiImaging : public Imaging, public ::testing::WithParamInterface<FakeScsiLayerKind> {
 protected:
  void SetUp() override {
    Imaging::SetUp();
    UseScsiLayer(GetParam());
  }
};

}  // namespace

TEST(CopyStatus, PercentRisesSteadilyOnTheLargestDisk) {
  char text[kTextChars];
  EXPECT_EQ(0, FormatCopyStatus(text, sizeof text, 0, 2880));
  EXPECT_EQ(Status(0, 2880, 0, 0), text);
  EXPECT_EQ(99, FormatCopyStatus(text, sizeof text, 2871, 2880));
  EXPECT_EQ(Status(2871, 2880, 1435, 99), text);
  // sector x 100 no longer fits 32 bits from 21,474,837 on.
  EXPECT_EQ(0, FormatCopyStatus(text, sizeof text, 21474836, INT32_MAX));
  EXPECT_EQ(1, FormatCopyStatus(text, sizeof text, 21474837, INT32_MAX));
  int previous = 0;
  for (int64_t sector = 0; sector < INT32_MAX - 64; sector += 16777216) {
    const int percent = FormatCopyStatus(text, sizeof text, static_cast<int32_t>(sector), INT32_MAX);
    EXPECT_LE(previous, percent) << sector;
    previous = percent;
  }
  EXPECT_EQ(99, FormatCopyStatus(text, sizeof text, INT32_MAX - 64, INT32_MAX));
  EXPECT_EQ(Status(INT32_MAX - 64, INT32_MAX, (INT32_MAX - 64) / 2, 99), text);
}

TEST_F(Imaging, FloppyIsReadToAnImageInChunksOfNineSectors) {
  const Bytes disk = MakeFatVolume(Fat1440KFloppy());
  ASSERT_EQ(kFloppyBytes, disk.size());
  ListFloppy(disk);
  // The copy waits for the dialog, so that the watcher surely sees it. Read 0
  // measures the disk, before the dialog comes up.
  onRead = [](size_t read) {
    if (read == 1) AwaitProgressDialog();
  };
  const std::string image = dir_.File("floppy copy.img");
  const Outcome outcome = RunCommand(ID_FILE_IMAGE_FROM_PHYSICAL, image, "Reading physical disk to disk image");

  EXPECT_EQ(kCreateTitle, outcome.seen.openTitle);
  EXPECT_EQ("Disk Images (*.dsk;*.im*)", outcome.seen.filter);
  EXPECT_TRUE(outcome.seen.progressUp);
  ExpectRestored(outcome);
  EXPECT_EQ(Sha256(disk), Sha256(ReadFileBytes(image)));
  // Sector 0 read alone measures the disk. N is 2880: 320 chunks of nine
  // sectors, each read once, nothing written to the drive.
  ASSERT_EQ(321u, driveCalls.size());
  EXPECT_EQ(0, DriveCalls(true));
  EXPECT_EQ(0, driveCalls[0].firstSector);
  EXPECT_EQ(512u, driveCalls[0].bytes);
  for (size_t i = 1; i < driveCalls.size(); ++i) {
    EXPECT_EQ(static_cast<int64_t>(i - 1) * 9, driveCalls[i].firstSector);
    EXPECT_EQ(9u * 512, driveCalls[i].bytes);
  }
  EXPECT_EQ(Status(0, 2880, 0, 0), driveCalls[1].status);
  EXPECT_EQ(Status(2871, 2880, 1435, 99), driveCalls.back().status);
  EXPECT_EQ(Status(2871, 2880, 1435, 99), progress.statusText);
  for (const std::string& text : outcome.seen.texts) EXPECT_EQ(0u, text.find("Disk sector ")) << text;

  // Logical: the volume being browsed is copied, and it stays the one browsed
  // even when a Refresh comes while the copy runs.
  Volume* listed = explorer.currentVolume;
  UseDriveRecorder(true);
  onRead = [](size_t read) {
    if (read == 1) AwaitProgressDialog();
    if (read == 4) PostMessageA(explorer.mainWindow, WM_COMMAND, ID_VIEW_REFRESH, 0);
    if (read == 5) SetWindowTextA(explorer.mainWindow, "changed meanwhile");
  };
  const std::string logical = dir_.File("logical.ima");
  const Outcome second = RunCommand(ID_FILE_IMAGE_FROM_LOGICAL, logical, "Reading logical disk to disk image");
  EXPECT_TRUE(second.seen.progressUp);
  ExpectRestored(second);
  EXPECT_EQ(Sha256(disk), Sha256(ReadFileBytes(logical)));
  ASSERT_EQ(321u, driveCalls.size());
  EXPECT_EQ(0, DriveCalls(true));
  for (const DriveCall& call : driveCalls) EXPECT_EQ(listed, call.currentVolume);
  EXPECT_EQ(listed, explorer.currentVolume);
  EXPECT_EQ(Sha256(disk), Sha256(ReadFileBytes(floppyPath_)));
}

TEST_P(ScsiImaging, ScsiDiskAndCdromAreReadToImagesWithoutAWrite) {
  // The device's size leaves its last block uncounted (2,048 blocks make
  // 1,023 KB), but the image holds every block.
  const Bytes disk = MakeHfsVolume(1024, "Disk");
  ListScsi(disk, FakeScsiDisk);
  ASSERT_EQ(1023, explorer.currentVolume->sizeKB);
  const std::string image = dir_.File("disk.img");
  ExpectRestored(RunCommand(ID_FILE_IMAGE_FROM_PHYSICAL, image, "Reading physical disk to disk image"));
  EXPECT_EQ(Sha256(disk), Sha256(ReadFileBytes(image)));
  EXPECT_EQ(0, ScsiWrites());
  EXPECT_EQ(32, ScsiCommands(0x08)) << "64 blocks a command";
  EXPECT_EQ(Status(1984, 2048, 992, 96), progress.statusText);

  MarkScsiLog();
  ExpectRestored(RunCommand(ID_FILE_IMAGE_FROM_LOGICAL, image, "Reading logical disk to disk image"));
  EXPECT_EQ(Sha256(disk), Sha256(ReadFileBytes(image)));
  EXPECT_EQ(0, ScsiWrites());

  // A partitioned disk, copied logically: from the HFS partition on, as far
  // as the device's own size reaches; the physical copy has the map too.
  const Bytes hfs = MakeHfsVolume(800, "Part");
  const Bytes partitioned = MakePartitionedDisk(96 + 1600, UsualPartitionMap(96, 1600), {{}, {}, hfs});
  ListScsi(partitioned, FakeScsiDisk, "partitioned.img");
  ASSERT_EQ(96, explorer.currentVolume->partitionStart);
  ExpectRestored(RunCommand(ID_FILE_IMAGE_FROM_LOGICAL, image, "Reading logical disk to disk image"));
  EXPECT_EQ(Sha256(Slice(partitioned, 96, 1600)), Sha256(ReadFileBytes(image)));
  ExpectRestored(RunCommand(ID_FILE_IMAGE_FROM_PHYSICAL, image, "Reading physical disk to disk image"));
  EXPECT_EQ(Sha256(partitioned), Sha256(ReadFileBytes(image)));
  EXPECT_EQ(0, ScsiWrites());

  // 300 blocks of 2,048 bytes, 1,200 sectors, the last block's four among them.
  const Bytes cd = MakeHfsVolume(600, "Disc");
  ListScsi(cd, FakeScsiCdrom, "cd.iso");
  ASSERT_EQ(2048u, explorer.currentVolume->sectorSize);
  const std::string cdImage = dir_.File("cd.img");
  ExpectRestored(RunCommand(ID_FILE_IMAGE_FROM_PHYSICAL, cdImage, "Reading physical disk to disk image"));
  EXPECT_EQ(Sha256(cd), Sha256(ReadFileBytes(cdImage)));
  EXPECT_EQ(0, ScsiWrites());
}

TEST_P(ScsiImaging, ImagesAreWrittenBackToScsiDisks) {
  const Bytes original = Pattern(2048 * 512, 1);
  ListScsi(original, FakeScsiDisk);
  const Bytes written = Pattern(2048 * 512, 99);
  const std::string image = dir_.File("back.img");
  ASSERT_TRUE(WriteFileBytes(image, written));
  ExpectRestored(RunCommand(ID_FILE_IMAGE_TO_PHYSICAL, image, "Writing disk image to physical disk"));
  Bytes device = ReadFileBytes(scsiPath_);
  EXPECT_EQ(Sha256(written), Sha256(device));
  EXPECT_EQ(Sha256(written), Sha256(ReadFileBytes(image)));

  // Smaller than the disk, with a tail of 300 bytes: whole sectors only.
  const Bytes small = Pattern(100 * 512 + 300, 50);
  ASSERT_TRUE(WriteFileBytes(image, small));
  ExpectRestored(RunCommand(ID_FILE_IMAGE_TO_PHYSICAL, image, "Writing disk image to physical disk"));
  device = ReadFileBytes(scsiPath_);
  EXPECT_EQ(Sha256(Slice(small, 0, 100)), Sha256(Slice(device, 0, 100)));
  EXPECT_EQ(Sha256(Slice(written, 100, 1946)), Sha256(Slice(device, 100, 1946)));
}

TEST_F(Imaging, ImagesAreWrittenBackToFloppiesWithoutTheirHeader) {
  // An 800 KB image behind an 84-byte header, to a floppy: the header stays
  // behind, the 1,600 sectors after it land from sector 0 on.
  const Bytes floppy = Pattern(kFloppyBytes, 7);
  ListFloppy(floppy);
  Bytes headed(84, 0xEE);
  const Bytes body = Pattern(1600 * 512, 33);
  headed.insert(headed.end(), body.begin(), body.end());
  const std::string image = dir_.File("back.img");
  ASSERT_TRUE(WriteFileBytes(image, headed));
  ExpectRestored(RunCommand(ID_FILE_IMAGE_TO_PHYSICAL, image, "Writing disk image to physical disk"));
  const Bytes device = ReadFileBytes(floppyPath_);
  EXPECT_EQ(Sha256(body), Sha256(Slice(device, 0, 1600)));
  EXPECT_EQ(Sha256(Slice(floppy, 1600, 1280)), Sha256(Slice(device, 1600, 1280)));
  EXPECT_EQ(Sha256(headed), Sha256(ReadFileBytes(image)));

  // A disk whose layout cannot be found, its first sector unreadable, is not
  // written at all.
  ListFloppy(floppy, 0);
  ExpectRestored(RunCommand(ID_FILE_IMAGE_TO_PHYSICAL, image, "Writing disk image to physical disk"));
  EXPECT_EQ(0, fakeFloppy.writes);
}

TEST_F(Imaging, AFloppyReadErrorEndsTheCopy) {
  // A bad sector in the middle of a floppy: what lies before it reaches the
  // image; the copy stops there and nothing after it is tried.
  const Bytes disk = Pattern(kFloppyBytes, 3);
  ListFloppy(disk, 1000);
  const std::string image = dir_.File("bad.img");
  ExpectRestored(RunCommand(ID_FILE_IMAGE_FROM_PHYSICAL, image, "Reading physical disk to disk image"));
  EXPECT_EQ(Sha256(Slice(disk, 0, 1000)), Sha256(ReadFileBytes(image)));
  // The chunk at 999 is tried from nine sectors down to one; the single
  // sector 1000 that fails last is where the copy ends.
  int64_t furthest = 0;
  for (const DriveCall& call : driveCalls) {
    furthest = std::max(furthest, call.firstSector + call.bytes / 512);
    EXPECT_LE(call.firstSector, 1000) << "a read beyond the bad sector";
  }
  EXPECT_EQ(1008, furthest);
  ASSERT_FALSE(driveCalls.empty());
  EXPECT_EQ(1000, driveCalls.back().firstSector);
  EXPECT_EQ(512u, driveCalls.back().bytes);
  EXPECT_EQ(0, DriveCalls(true));
}

TEST_P(ScsiImaging, AShrunkChunkStaysSmallAndAnUnsizedDeviceIsReadToItsEnd) {
  // A device that takes at most 16 blocks a command: 64 fails down to 16,
  // which then serves the rest of the copy.
  const std::string image = dir_.File("bad.img");
  const Bytes scsi = Pattern(1024 * 512, 4);
  ListScsi(scsi, FakeScsiDisk);
  ASSERT_TRUE(scsi_->SetFaults(0, 1, -1, 16));
  ExpectRestored(RunCommand(ID_FILE_IMAGE_FROM_PHYSICAL, image, "Reading physical disk to disk image"));
  EXPECT_EQ(Sha256(scsi), Sha256(ReadFileBytes(image)));
  // 48 failed tries (64 down to 17), then 64 commands of 16 blocks.
  EXPECT_EQ(48 + 64, ScsiReads());

  // A device that reports no size: up to 2,147,483,647 sectors, until the
  // first that cannot be read.
  const Bytes unsized = Pattern(100 * 512, 5);
  ListScsi(unsized, FakeScsiNoCapacity);
  ASSERT_EQ(0, explorer.currentVolume->sizeKB);
  ExpectRestored(RunCommand(ID_FILE_IMAGE_FROM_PHYSICAL, image, "Reading physical disk to disk image"));
  EXPECT_EQ(Sha256(unsized), Sha256(ReadFileBytes(image)));
  EXPECT_EQ(Status(100, INT32_MAX, 50, 0), progress.statusText);
  EXPECT_EQ(0, ScsiWrites());
}

TEST_F(Imaging, CancelEndsTheCopyBeforeTheNextChunk) {
  const Bytes disk = Pattern(kFloppyBytes, 9);
  ListFloppy(disk);
  const std::string image = dir_.File("cancelled.img");
  ASSERT_TRUE(WriteFileBytes(image, Pattern(4096, 1)));
  const Outcome early = RunCommand(ID_FILE_IMAGE_FROM_PHYSICAL, image, "Reading physical disk to disk image", true);
  ASSERT_TRUE(early.seen.progressUp);
  ExpectRestored(early);
  bool exists = false;
  EXPECT_EQ(0u, ReadFileBytes(image, &exists).size());
  EXPECT_TRUE(exists);
  EXPECT_EQ(1u, driveCalls.size()) << "only the read that measures the disk";

  // Cancel pressed during the 100th chunk (read 0 measured the disk): that
  // chunk is finished, no other is begun. Slow reads let the dialog show its
  // texts meanwhile.
  UseDriveRecorder(true);
  onRead = [](size_t read) {
    Sleep(4);
    if (read == 100) SendDlgItemMessageA(AwaitProgressDialog(), IDCANCEL, BM_CLICK, 0, 0);
  };
  const Outcome middle = RunCommand(ID_FILE_IMAGE_FROM_PHYSICAL, image, "Reading physical disk to disk image");
  ExpectRestored(middle);
  EXPECT_EQ(101u, driveCalls.size());
  EXPECT_EQ(Sha256(Slice(disk, 0, 900)), Sha256(ReadFileBytes(image)));
  // Every text the dialog showed is one whole status text of this copy.
  EXPECT_FALSE(middle.seen.texts.empty());
  for (const std::string& text : middle.seen.texts) {
    int sector = -1, count = -1, kilobytes = -1, percent = -1;
    ASSERT_EQ(4, sscanf(text.c_str(), "Disk sector %d of %d\n%dK copied (%d%%)", &sector, &count, &kilobytes,
                        &percent)) << text;
    EXPECT_EQ(Status(sector, 2880, sector / 2, sector * 100 / 2880), text);
  }
}

TEST_F(Imaging, QuitRequestEndsTheCopyAndReachesTheMainLoop) {
  const Bytes disk = Pattern(kFloppyBytes, 11);
  ListFloppy(disk);
  onRead = [](size_t read) {
    if (read == 6) PostQuitMessage(7);
  };
  const std::string image = dir_.File("quit.img");
  ExpectRestored(RunCommand(ID_FILE_IMAGE_FROM_PHYSICAL, image, "Reading physical disk to disk image"));
  EXPECT_EQ(7u, driveCalls.size());
  EXPECT_EQ(Sha256(Slice(disk, 0, 54)), Sha256(ReadFileBytes(image)));
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(7u, message.wParam);
}

TEST_P(ScsiImaging, CopiesThatCannotStartOrHaveNothingToCopy) {
  // An empty image to a device of no size: nothing to copy, the dialog is
  // taken down however far it came, and the disk is untouched.
  const Bytes unsized = Pattern(64 * 512, 6);
  ListScsi(unsized, FakeScsiNoCapacity);
  const std::string empty = dir_.File("empty.img");
  ASSERT_TRUE(WriteFileBytes(empty, {}));
  ExpectRestored(RunCommand(ID_FILE_IMAGE_TO_PHYSICAL, empty, "Writing disk image to physical disk"));
  EXPECT_EQ(0, ScsiWrites());
  EXPECT_EQ(Sha256(unsized), Sha256(ReadFileBytes(scsiPath_)));

  // The device went away after it was listed: no copy, no dialog, and the
  // image that was opened is left empty; Refresh still follows.
  scsi_->Reset(1);
  const std::string image = dir_.File("gone.img");
  const Outcome gone = RunCommand(ID_FILE_IMAGE_FROM_PHYSICAL, image, "Reading physical disk to disk image");
  EXPECT_FALSE(gone.seen.progressUp);
  ExpectRestored(gone);
  bool exists = false;
  EXPECT_EQ(0u, ReadFileBytes(image, &exists).size());
  EXPECT_TRUE(exists);
}

TEST_F(Imaging, AWindowsDriveIsNotCopied) {
  // A Windows drive listed: the commands do nothing but post Refresh.
  SelectSource(NodeAt(0));
  ASSERT_EQ(KindLogicalDrive, explorer.currentVolume->kind);
  const std::string drive = dir_.File("drive.img");
  ExpectRestored(RunCommand(ID_FILE_IMAGE_FROM_LOGICAL, drive, "Reading logical disk to disk image"));
  EXPECT_EQ(0u, ReadFileBytes(drive).size());
}

// A device that does not answer is given the same chunk once more, then the
// copy ends: a smaller chunk would only wait as long again. One missed
// answer costs nothing but the wait.
TEST_F(Imaging, ADeviceThatDoesNotAnswerIsNotAskedForLessAndLess) {
  const Bytes disk = Pattern(256 * 512, 12);
  ListStandInScsi(disk);
  standIn_->scsiTimesOut = true;
  const std::string image = dir_.File("silent.img");
  ExpectRestored(RunCommand(ID_FILE_IMAGE_FROM_PHYSICAL, image, "Reading physical disk to disk image"));
  EXPECT_EQ((std::vector<uint32_t>{64, 64}), StandInReads());
  EXPECT_EQ(0u, ReadFileBytes(image).size());

  standIn_->scsiTimesOut = false;
  standIn_->scsiCalls.clear();
  standIn_->onScsiTransfer = [this](const ScsiCall&) {
    standIn_->scsiTimesOut = standIn_->ScsiCommands('R') == 3;
  };
  ExpectRestored(RunCommand(ID_FILE_IMAGE_FROM_PHYSICAL, image, "Reading physical disk to disk image"));
  EXPECT_EQ((std::vector<uint32_t>{64, 64, 64, 64, 64}), StandInReads());
  EXPECT_EQ(Sha256(disk), Sha256(ReadFileBytes(image)));
}

// Between two attempts at a failing chunk the copy serves the main thread's
// messages and looks at Cancel, as between two chunks.
TEST_F(Imaging, FailedAttemptsServeTheWindowAndEndAtCancel) {
  const Bytes disk = Pattern(64 * 512, 13);
  ListStandInScsi(disk);
  standIn_->reportedLastBlock = 1023;  // only the first 64 of 1,024 blocks can be read
  const UINT kProbe = WM_APP + 78;
  int failures = 0;
  bool servedBetween = false;
  standIn_->onScsiTransfer = [&](const ScsiCall& call) {
    if (call.command != 'R' || call.firstBlock < 64) return;
    ++failures;
    MSG message;
    if (failures == 1) PostThreadMessageA(GetCurrentThreadId(), kProbe, 0, 0);
    if (failures == 2) servedBetween = !PeekMessageA(&message, reinterpret_cast<HWND>(-1), kProbe, kProbe, PM_NOREMOVE);
    if (failures == 3) SendDlgItemMessageA(AwaitProgressDialog(), IDCANCEL, BM_CLICK, 0, 0);
  };
  const std::string image = dir_.File("cancelled.img");
  ExpectRestored(RunCommand(ID_FILE_IMAGE_FROM_PHYSICAL, image, "Reading physical disk to disk image"));
  EXPECT_TRUE(servedBetween);
  EXPECT_EQ(3, failures) << "the attempt under way at Cancel is the last";
  EXPECT_EQ(Sha256(disk), Sha256(ReadFileBytes(image)));
}

// The image of a partitioned SCSI disk, as "C&reate Image File From Physical
// Disk" makes it, goes back whole, map and driver included; a floppy still
// takes the file system alone.
TEST_F(Imaging, AnImageOfAPartitionedDiskIsWrittenBackWhole) {
  const Bytes hfs = MakeHfsVolume(800, "Part");
  const Bytes partitioned = MakePartitionedDisk(96 + 1600, UsualPartitionMap(96, 1600), {{}, {}, hfs});
  const std::string image = dir_.File("partitioned.img");
  ASSERT_TRUE(WriteFileBytes(image, partitioned));
  const Bytes original = Pattern(2048 * 512, 21);
  ListStandInScsi(original);
  ExpectRestored(RunCommand(ID_FILE_IMAGE_TO_PHYSICAL, image, "Writing disk image to physical disk"));
  EXPECT_EQ(Sha256(partitioned), Sha256(Slice(standIn_->scsi, 0, 1696)));
  EXPECT_EQ(Sha256(Slice(original, 1696, 352)), Sha256(Slice(standIn_->scsi, 1696, 352)));

  standIn_.reset();
  ListFloppy(Pattern(kFloppyBytes, 22));
  ExpectRestored(RunCommand(ID_FILE_IMAGE_TO_PHYSICAL, image, "Writing disk image to physical disk"));
  EXPECT_EQ(Sha256(hfs), Sha256(Slice(ReadFileBytes(floppyPath_), 0, 1600)));
}

// After an image is written onto the disk being browsed, the view starts
// again at the disk's top, and what it lists and reads comes from the new
// disk: here an MS-DOS disk over a Macintosh one whose folder was open.
TEST_F(Imaging, WritingTheBrowsedDiskListsItAfresh) {
  const Bytes sampler = ReadFileBytes(SamplesDir() + "\\MacSampler.image");
  ASSERT_EQ(819284u, sampler.size());
  ListFloppy(Bytes(sampler.begin() + 84, sampler.end()));
  const std::string topTitle = Title();
  OpenListItem(RowOf("Sampler"));
  OpenListItem(RowOf("Letters"));
  ASSERT_EQ((std::vector<std::string>{"Old", "To Sam"}), RowTexts());
  const std::string image = SamplesDir() + "\\MSDOS.IMA";
  const Outcome outcome = RunCommand(ID_FILE_IMAGE_TO_PHYSICAL, image, "Writing disk image to physical disk");
  ASSERT_TRUE(outcome.refreshPosted);
  SendMessageA(explorer.mainWindow, WM_COMMAND, ID_VIEW_REFRESH, 0);
  EXPECT_EQ(topTitle, Title());
  EXPECT_EQ((std::vector<std::string>{"GAMES", "README.TXT"}), RowTexts());
  const int row = RowOf("README.TXT");
  ASSERT_LE(0, row);
  const DirEntry& entry = explorer.entries[GetRowEntryIndex(row)];
  Bytes data(EntryDataBufferBytes(explorer.currentVolume, &entry) + 512);
  const uint32_t length = ReadEntryData(explorer.currentVolume, data.data(), &entry);
  EXPECT_EQ("GAMES ON THIS DISK\r\nARCADE\\PONG.EXE\r\n",
            std::string(data.begin(), data.begin() + std::min<size_t>(length, data.size())));
}

// The three commands are offered only while no copy runs: a second one
// chosen while a copy pumps its messages would leave the first one's dialog
// up for good.
TEST_F(Imaging, ImagingCommandsAreGreyedAndRefusedWhileACopyRuns) {
  ListFloppy(Pattern(kFloppyBytes, 23));
  HMENU file = GetSubMenu(GetMenu(explorer.mainWindow), 0);
  const UINT commands[] = {ID_FILE_IMAGE_FROM_LOGICAL, ID_FILE_IMAGE_FROM_PHYSICAL, ID_FILE_IMAGE_TO_PHYSICAL};
  std::vector<bool> greyed;
  std::atomic<int> nestedDialogs{0};
  std::atomic<bool> stop{false};
  std::thread watcher([&] {
    while (!stop) {
      HWND dialog = FindWindowA("#32770", kWriteTitle);
      if (dialog && IsWindowVisible(dialog)) {
        ++nestedDialogs;
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        Sleep(200);
      }
      Sleep(5);
    }
  });
  onRead = [&](size_t read) {
    if (read != 2) return;
    SendMessageA(explorer.mainWindow, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), 0);
    for (UINT id : commands) greyed.push_back((GetMenuState(file, id, MF_BYCOMMAND) & MF_GRAYED) != 0);
    SendMessageA(explorer.mainWindow, WM_COMMAND, ID_FILE_IMAGE_TO_PHYSICAL, 0);
  };
  const std::string image = dir_.File("busy.img");
  ExpectRestored(RunCommand(ID_FILE_IMAGE_FROM_PHYSICAL, image, "Reading physical disk to disk image"));
  stop = true;
  watcher.join();
  EXPECT_EQ((std::vector<bool>{true, true, true}), greyed);
  EXPECT_EQ(0, nestedDialogs.load());
  SendMessageA(explorer.mainWindow, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), 0);
  for (UINT id : commands) EXPECT_EQ(0u, GetMenuState(file, id, MF_BYCOMMAND) & MF_GRAYED) << id;
}

// A disk that holds a volume Windows has mounted (here drive C:) is copied
// to an image like any other, but no image is written onto it: the command
// ends as when the device cannot be opened, without a dialog, the disk untouched.
TEST_F(Imaging, ADiskHoldingAMountedVolumeIsReadButNeverWritten) {
  UseScsiLayer(FakePassThrough);
  const Bytes original = Pattern(256 * 512, 31);
  ListScsi(original, FakeScsiDisk);
  fakeScsiBus.mountedLetters = 1 << 2;
  fakeScsiBus.mountedDisk = 0;  // "\\.\PhysicalDrive0", the disk listed
  const std::string image = dir_.File("over the system disk.img");
  ASSERT_TRUE(WriteFileBytes(image, Pattern(256 * 512, 32)));
  const Outcome refused = RunCommand(ID_FILE_IMAGE_TO_PHYSICAL, image, "Writing disk image to physical disk");
  EXPECT_FALSE(refused.seen.progressUp);
  ExpectRestored(refused);
  EXPECT_EQ(0, ScsiWrites());
  EXPECT_EQ(Sha256(original), Sha256(ReadFileBytes(scsiPath_)));

  const std::string copy = dir_.File("system disk.img");
  ExpectRestored(RunCommand(ID_FILE_IMAGE_FROM_PHYSICAL, copy, "Reading physical disk to disk image"));
  EXPECT_EQ(Sha256(original), Sha256(ReadFileBytes(copy)));
}

INSTANTIATE_TEST_SUITE_P(Layers, ScsiImaging, ::testing::ValuesIn(FakeScsiLayersOfThisBuild()),
                         [](const ::testing::TestParamInfo<FakeScsiLayerKind>& info) {
                           return std::string(FakeScsiLayerName(info.param));
                         });

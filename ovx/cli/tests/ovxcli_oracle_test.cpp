// Differential tests against independent tools, run natively only: HFS
// images made with hformat, hmkdir, hcopy and hattrib are listed by
// `ovxcli ls -R` and by `hls -R`, FAT12 and FAT16 images made with mkfs.fat,
// mmd and mcopy by `ovxcli ls -R` and by `mdir -/`; every file's bytes from
// `ovxcli cat` must equal what `hcopy -r` or `mcopy` extract. Fragmented
// files and a catalog that has spilled into the extents overflow file are
// made by filling a volume and deleting every other file.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>

#include <ctime>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORVANTA_HAS_ADDRESS_SANITIZER 1
#endif
#endif
#ifndef ORVANTA_HAS_ADDRESS_SANITIZER
#define ORVANTA_HAS_ADDRESS_SANITIZER 0
#endif

#include "byte_order.h"
#include "hfsplus_builder.h"
#include "image_builders.h"
#include "list_directory.h"
#include "test_files.h"

namespace {

// Folder → its entries, each as "name|kind|sizes|type|creator" text.
using Tree = std::map<std::string, std::set<std::string>>;

// Runs script with sh in dir: HOME there, because hfsutils keeps its current
// volume in $HOME/.hcwd, and mtools' geometry checks off.
bool RunScript(const ScratchDir& dir, const std::string& script) {
  const std::string text = "set -e\nexport HOME='" + dir.path() + "' MTOOLS_SKIP_CHECK=1\n" + script;
  if (!WriteFileBytes(dir.File("script.sh"), Bytes(text.begin(), text.end()))) return false;
  const int status = RunProgram(dir.path(), "sh script.sh", "script-out.txt", "script-err.txt");
  EXPECT_EQ(0, status) << script << ReadFileText(dir.File("script-err.txt"));
  return status == 0;
}

std::string ToolOutput(const ScratchDir& dir, const std::string& script) {
  return RunScript(dir, script) ? ReadFileText(dir.File("script-out.txt")) : "";
}

std::string Ovxcli(const ScratchDir& dir, const std::string& arguments) {
  const int status = RunProgram(dir.path(), ProgramBeside("ovxcli") + " " + arguments, "ovxcli-out.txt", "ovxcli-err.txt");
  EXPECT_EQ(0, status) << arguments << ": " << ReadFileText(dir.File("ovxcli-err.txt"));
  return ReadFileText(dir.File("ovxcli-out.txt"));
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> Fields(const std::string& line, char separator) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, separator);) fields.push_back(field);
  return fields;
}

Bytes Content(size_t length, unsigned seed) {
  Bytes data(length);
  uint32_t state = seed * 2654435761u + 1;
  for (size_t i = 0; i < length; ++i) {
    state = state * 1103515245u + 12345u;
    data[i] = static_cast<uint8_t>(state >> 16);
  }
  return data;
}

// ovxcli ls -R: each listing after a "FOLDER:" line; the top one comes first, unheaded.
// Returns the rows by folder; macRows keeps sizes, type and creator as hls shows them.
Tree ParseOvxcliListing(const std::string& text, bool macRows) {
  Tree tree;
  std::string folder;
  for (const std::string& line : Lines(text)) {
    if (line.find('\t') == std::string::npos) {
      folder = line.substr(0, line.size() - 1);
      tree[folder];
      continue;
    }
    std::vector<std::string> f = Fields(line, '\t');
    if (f.size() != 7) {
      ADD_FAILURE() << "odd line: " << line;
      continue;
    }
    if (f[0] == "..") continue;
    std::string row = f[0] + "|" + f[1];
    if (f[1] == "-") {
      if (macRows) {
        const unsigned long data = std::stoul(f[3]), resource = std::stoul(f[2]) - data;
        row += "|" + std::to_string(data) + "|" + std::to_string(resource) + "|" + f[4] + "|" + f[5];
      } else {
        row += "|" + f[2];
      }
    }
    tree[folder].insert(row);
  }
  return tree;
}

// hls -l -a -R: "d  N items  DATE name" or "f  TYPE/CREA  RSRC  DATA DATE name";
// each sub-folder's listing after a line ":A:B:".
Tree ParseHlsListing(const std::string& text) {
  Tree tree;
  std::string folder = ":";
  tree[folder];
  for (const std::string& line : Lines(text)) {
    if (line.empty()) continue;
    if (line[0] == ':') {
      folder = line;
      tree[folder];
      continue;
    }
    std::istringstream in(line);
    std::string kind, a, b, c, month, day, clock;
    in >> kind >> a >> b;
    if (kind == "f" || kind == "F") in >> c;
    in >> month >> day >> clock;
    std::string name;
    std::getline(in, name);
    name.erase(0, name.find_first_not_of(' '));
    if (kind == "d") {
      tree[folder].insert(name + "|d");
    } else {
      tree[folder].insert(name + "|-|" + c + "|" + b + "|" + a.substr(0, 4) + "|" + a.substr(5, 4));
    }
  }
  return tree;
}

// mdir -/ -a: "Directory for ::/A/B" before each folder; entries as
// "NAME     EXT      SIZE DATE TIME" or "NAME         <DIR> ...".
Tree ParseMdirListing(const std::string& text) {
  Tree tree;
  std::string folder;
  for (const std::string& line : Lines(text)) {
    if (line.rfind("Directory for ", 0) == 0) {
      folder = line.substr(14);
      tree[folder];
      continue;
    }
    if (folder.empty() || line.size() < 13 || line[0] == ' ' || line[8] != ' ') continue;
    auto trim = [](std::string s) { return s.erase(s.find_last_not_of(' ') + 1); };
    const std::string name = trim(line.substr(0, 8)), extension = trim(line.substr(9, 3));
    const std::string full = extension.empty() ? name : name + "." + extension;
    if (full == "." || full == "..") continue;
    std::istringstream in(line.substr(12));
    std::string size;
    in >> size;
    tree[folder].insert(size == "<DIR>" ? full + "|d" : full + "|-|" + size);
  }
  return tree;
}

// The folders of an ovxcli HFS listing as hls names them: "Disk:A:" → ":A:".
Tree AsHlsFolders(const Tree& tree, const std::string& volumeName) {
  Tree renamed;
  for (const auto& folder : tree) {
    if (folder.first.empty()) continue;  // the top: the root folder alone
    renamed[folder.first.substr(volumeName.size())] = folder.second;
  }
  return renamed;
}

// The folders of an ovxcli FAT listing as mdir names them: "A\B\" → "::/A/B".
Tree AsMdirFolders(const Tree& tree) {
  Tree renamed;
  for (const auto& folder : tree) {
    std::string name = "::/" + folder.first;
    if (name.size() > 3) name.pop_back();
    for (char& c : name) c = c == '\\' ? '/' : c;
    renamed[name] = folder.second;
  }
  return renamed;
}

// Every file of an HFS image: ovxcli cat must give what hcopy -r gives.
void ExpectHfsFilesAgree(const ScratchDir& dir, const std::string& image, const std::string& volumeName, const Tree& tree) {
  int compared = 0;
  for (const auto& folder : tree) {
    for (const std::string& row : folder.second) {
      std::vector<std::string> f = Fields(row, '|');
      if (f[1] != "-") continue;
      const std::string hfsPath = folder.first + f[0];
      ASSERT_TRUE(RunScript(dir, "hmount " + image + " >/dev/null\nhcopy -r '" + hfsPath + "' extracted.bin\n"));
      const std::string catted = Ovxcli(dir, "cat " + image + " '" + volumeName + folder.first + "' '" + f[0] + "'");
      EXPECT_EQ(ReadFileText(dir.File("extracted.bin")), catted) << hfsPath;
      ++compared;
    }
  }
  EXPECT_GT(compared, 0);
}

TEST(OvxcliAgainstHfsutils, ListingsAndFilesAgree) {
  ScratchDir dir;
  const std::vector<std::pair<std::string, size_t>> files = {
      {"empty", 0}, {"one", 1}, {"sector", 512}, {"sector plus", 513}, {"Letter", 3000}, {"big", 70000}};
  for (size_t i = 0; i < files.size(); ++i) ASSERT_TRUE(WriteFileBytes(dir.File("local" + std::to_string(i)), Content(files[i].second, i)));
  std::string script =
      "dd if=/dev/zero of=mac.img bs=1024 count=1440 2>/dev/null\nhformat -l Orvanta mac.img >/dev/null\n"
      "hmkdir :Letters :Letters:Old :Games ':Two Words' :Games:Letters\n";
  const char* folders[] = {":", ":Letters:", ":Letters:Old:", ":Games:Letters:", ":Two Words:", ":Letters:"};
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string target = std::string(folders[i]) + files[i].first;
    script += "hcopy -r local" + std::to_string(i) + " '" + target + "'\n";
    if (i % 2) script += "hattrib -t TEXT -c ttxt '" + target + "'\n";
  }
  ASSERT_TRUE(RunScript(dir, script));
  const std::string hls = ToolOutput(dir, "hls -l -a -R\n");
  const Tree theirs = ParseHlsListing(hls);
  const Tree ours = AsHlsFolders(ParseOvxcliListing(Ovxcli(dir, "ls -R mac.img"), true), "Orvanta");
  EXPECT_EQ(theirs, ours) << hls;
  EXPECT_EQ(6u, ours.size());
  ExpectHfsFilesAgree(dir, "mac.img", "Orvanta", theirs);
}

TEST(OvxcliAgainstHfsutils, FragmentedFilesAndCatalog) {
  ScratchDir dir;
  // Rounds of small files with a larger one after each keep the catalog
  // growing into new places; deleting every other small file leaves holes
  // that the last, large file has to be spread over.
  ASSERT_TRUE(WriteFileBytes(dir.File("small"), Content(3000, 1)));
  ASSERT_TRUE(WriteFileBytes(dir.File("medium"), Content(20000, 2)));
  ASSERT_TRUE(WriteFileBytes(dir.File("large"), Content(400000, 3)));
  std::string script =
      "dd if=/dev/zero of=frag.img bs=1024 count=1440 2>/dev/null\nhformat -l Frag frag.img >/dev/null\n"
      "for r in 1 2 3 4 5; do\n"
      "  for i in $(seq 1 60); do cp small r${r}n$i; done\n"
      "  hcopy -r r${r}n* :\n  hcopy -r medium :m$r\n"
      "done\n"
      "for r in 1 2 3 4 5; do for i in $(seq 1 2 60); do hdel :r${r}n$i; done; done\n"
      "hcopy -r large :Large\n";
  ASSERT_TRUE(RunScript(dir, script));
  const Bytes image = ReadFileBytes(dir.File("frag.img"));
  ASSERT_GT(image.size(), 1024u + 162);
  // The catalog holds more than its three extents in the volume information block.
  const uint8_t* mdb = image.data() + 1024;
  const uint32_t blockBytes = ReadBE32(mdb + 20);
  const uint32_t catalogBlocks = ReadBE16(mdb + 152) + ReadBE16(mdb + 156) + ReadBE16(mdb + 160);
  EXPECT_GT(ReadBE32(mdb + 146), catalogBlocks * blockBytes);

  const std::string hls = ToolOutput(dir, "hmount frag.img >/dev/null\nhls -l -a -R\n");
  const Tree theirs = ParseHlsListing(hls);
  EXPECT_EQ(theirs, AsHlsFolders(ParseOvxcliListing(Ovxcli(dir, "ls -R frag.img"), true), "Frag"));
  EXPECT_EQ(156u, theirs.at(":").size());
  // The large file lies in more pieces than its first extent record holds.
  Volume* volume = OpenVolume(KindImageFile, reinterpret_cast<uintptr_t>(dir.File("frag.img").c_str()), OpenReadOnly);
  ASSERT_NE(nullptr, volume);
  DirEntry* entries = static_cast<DirEntry*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(DirEntry)));
  ListDirectory(volume, "", &entries);
  const int count = ListDirectory(volume, "Frag:", &entries);
  for (int i = 0; i < count; ++i) {
    if (std::string(entries[i].name) != "Large") continue;
    const uint32_t firstRecordBlocks = ReadBE16(entries[i].location + 2) + ReadBE16(entries[i].location + 6) +
                                       ReadBE16(entries[i].location + 10);
    EXPECT_LT(firstRecordBlocks * blockBytes, 400000u);
  }
  HeapFree(GetProcessHeap(), 0, entries);
  CloseVolume(volume);
  std::string catted = Ovxcli(dir, "cat frag.img Frag: Large");
  EXPECT_EQ(ReadFileText(dir.File("large")), catted);
  catted = Ovxcli(dir, "cat frag.img Frag: m3");
  EXPECT_EQ(ReadFileText(dir.File("medium")), catted);
}

struct FatCase {
  const char* name;
  uint32_t sizeKB;
  const char* options;
  uint16_t reservedSectors;
};

TEST(OvxcliAgainstMtools, ListingsAndFilesAgree) {
  const FatCase cases[] = {
      {"fat12.img", 1440, "", 1},
      {"atarist.st", 720, "-A", 1},
      {"fat16.img", 32768, "-F 16 -R 4", 4},
  };
  for (const FatCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    const std::vector<std::pair<std::string, size_t>> files = {
        {"README.TXT", 1000}, {"EMPTY.DAT", 0}, {"GAMES/PAC.COM", 2048}, {"GAMES/OLD/ROBOT.BAS", 5000},
        {"GAMES/OLD/BIG.BIN", 100000}, {"DOCS/longer name.text", 777}};
    std::string script = "dd if=/dev/zero of=" + std::string(c.name) + " bs=1024 count=" + std::to_string(c.sizeKB) +
                         " 2>/dev/null\nmkfs.fat " + c.options + " " + c.name + " >/dev/null\n"
                         "mmd -i " + c.name + " ::GAMES ::GAMES/OLD ::DOCS ::EMPTYDIR\n";
    for (size_t i = 0; i < files.size(); ++i) {
      ASSERT_TRUE(WriteFileBytes(dir.File("local" + std::to_string(i)), Content(files[i].second, 10 + i)));
      script += "mcopy -i " + std::string(c.name) + " local" + std::to_string(i) + " '::" + files[i].first + "'\n";
    }
    // A file spread over the holes that deleted files leave.
    script += "for i in $(seq 1 20); do mcopy -i " + std::string(c.name) + " local2 ::F$i.TMP; done\n"
              "for i in $(seq 1 2 20); do mdel -i " + std::string(c.name) + " ::F$i.TMP; done\n"
              "mcopy -i " + std::string(c.name) + " local4 ::SPREAD.BIN\n";
    ASSERT_TRUE(RunScript(dir, script));
    const Bytes image = ReadFileBytes(dir.File(c.name));
    ASSERT_GT(image.size(), 512u);
    EXPECT_EQ(c.reservedSectors, ReadLE16(image.data() + 14));

    const std::string mdir = ToolOutput(dir, std::string("mdir -/ -a -i ") + c.name + " ::\n");
    const Tree theirs = ParseMdirListing(mdir);
    const Tree ours = AsMdirFolders(ParseOvxcliListing(Ovxcli(dir, std::string("ls -R ") + c.name), false));
    Ovxcli(dir, std::string("extract ") + c.name + " out");
    EXPECT_EQ(theirs, ours) << mdir;
    EXPECT_EQ(5u, ours.size());
    int compared = 0;
    for (const auto& folder : theirs) {
      for (const std::string& row : folder.second) {
        std::vector<std::string> f = Fields(row, '|');
        if (f[1] != "-") continue;
        const std::string path = folder.first + (folder.first.size() > 3 ? "/" : "") + f[0];
        ASSERT_TRUE(RunScript(dir, std::string("mcopy -n -o -i ") + c.name + " '" + path + "' extracted.bin\n"));
        const std::string catted = Ovxcli(dir, std::string("cat ") + c.name + " '" + folder.first.substr(3) + "' " + f[0]);
        EXPECT_EQ(ReadFileText(dir.File("extracted.bin")), catted) << path;
        const std::string folderPath = folder.first.substr(3);
        EXPECT_EQ(catted, ReadFileText(dir.File("out/" + folderPath + (folderPath.empty() ? "" : "/") + f[0]))) << path;
        ++compared;
      }
    }
    EXPECT_EQ(17, compared);
  }
}

// A volume of over 32 MB shows how far the extraction has come.
TEST(OvxcliExtractAgainstMtools, LargeVolumesShowProgress) {
  ScratchDir dir;
  ASSERT_TRUE(WriteFileBytes(dir.File("big.bin"), Content(17 << 20, 1)));
  ASSERT_TRUE(RunScript(dir, "dd if=/dev/zero of=big.img bs=1024 count=40960 2>/dev/null\n"
                             "mkfs.fat -F 16 big.img >/dev/null\nmcopy -i big.img big.bin ::BIG.BIN\n"));
  EXPECT_EQ("0 folders, 1 files, 17825792 bytes\n", Ovxcli(dir, "extract big.img out"));
  EXPECT_EQ("ovxcli: 1 files, 17825792 bytes so far\n", ReadFileText(dir.File("ovxcli-err.txt")));
  EXPECT_TRUE(ReadFileBytes(dir.File("big.bin")) == ReadFileBytes(dir.File("out/BIG.BIN")));
}

// MacBinary II of one file, as hcopy -m takes it in: type, creator, Finder
// flags, both forks and the modification date.
Bytes MacBinary(const std::string& name, const std::string& typeCreator, uint16_t flags, const Bytes& data,
                const Bytes& resource, uint32_t modified) {
  Bytes out(128);
  out[1] = static_cast<uint8_t>(name.size());
  std::copy(name.begin(), name.end(), out.begin() + 2);
  std::copy_n(typeCreator.begin(), 8, out.begin() + 65);
  out[73] = static_cast<uint8_t>(flags >> 8);
  PutBE32(out, 83, static_cast<uint32_t>(data.size()));
  PutBE32(out, 87, static_cast<uint32_t>(resource.size()));
  PutBE32(out, 91, modified);
  PutBE32(out, 95, modified);
  out[101] = static_cast<uint8_t>(flags);
  out[122] = out[123] = 129;
  uint16_t crc = 0;  // CRC-16 of the first 124 bytes, polynomial 0x1021
  for (int i = 0; i < 124; ++i) {
    crc ^= static_cast<uint16_t>(out[i] << 8);
    for (int bit = 0; bit < 8; ++bit) crc = static_cast<uint16_t>(crc & 0x8000 ? crc << 1 ^ 0x1021 : crc << 1);
  }
  out[124] = static_cast<uint8_t>(crc >> 8);
  out[125] = static_cast<uint8_t>(crc);
  for (const Bytes* fork : {&data, &resource}) {
    out.insert(out.end(), fork->begin(), fork->end());
    out.resize((out.size() + 127) / 128 * 128);
  }
  return out;
}

// What an AppleDouble file holds: Finder information and resource fork.
struct AppleDouble {
  Bytes finderInfo, resource;
};
AppleDouble ParseAppleDouble(const Bytes& file) {
  AppleDouble parsed;
  if (file.size() < 26 || ReadBE32(file.data()) != 0x00051607 || ReadBE32(file.data() + 4) != 0x00020000) return parsed;
  for (unsigned i = 0; i < ReadBE16(file.data() + 24) && 26 + 12 * i + 12 <= file.size(); ++i) {
    const uint8_t* d = file.data() + 26 + 12 * i;
    const uint32_t at = ReadBE32(d + 4), length = ReadBE32(d + 8);
    if (at + length > file.size()) continue;
    Bytes piece(file.begin() + at, file.begin() + at + length);
    if (ReadBE32(d) == 9) parsed.finderInfo = piece;
    if (ReadBE32(d) == 2) parsed.resource = piece;
  }
  return parsed;
}

// Seconds since 1904 as the clock of a file's modification time reads them
// in local time.
uint32_t MacSecondsOf(time_t when) {
  struct tm local;
  localtime_r(&when, &local);
  return static_cast<uint32_t>(timegm(&local) + 2082844800);
}

// Every file hfsutils put on the volume comes out of ovxcli extract with the
// data fork hcopy -r gives, and the resource fork, type, creator, Finder
// flags and date hcopy -m gives; names no host folder takes are escaped.
TEST(OvxcliExtractAgainstHfsutils, ForksTypesAndDatesAgreeFileByFile) {
  ScratchDir dir;
  struct File {
    std::string hfsPath, hostPath;
    Bytes data, resource;
    std::string typeCreator;
    uint16_t flags;
  };
  const std::vector<File> files = {
      {":Letters:To Sam", "Orvanta/Letters/To Sam", Content(3000, 1), {}, "TEXTttxt", 0x0120},
      {":Letters:Old:Icon", "Orvanta/Letters/Old/Icon", {}, Content(900, 2), "ICONRSED", 0x4000},
      {":Both", "Orvanta/Both", Content(70000, 3), Content(20000, 4), "APPLOVXA", 0x2000},
      {":a/b", "Orvanta/a%2Fb", Content(10, 5), {}, "TEXTttxt", 0},
      {":CON", "Orvanta/%43ON", Content(20, 6), {}, "TEXTttxt", 0},
      {":dot.", "Orvanta/dot%2E", Content(30, 7), Content(40, 8), "TEXTttxt", 0},
      {":._x", "Orvanta/%2E_x", Content(50, 9), {}, "TEXTttxt", 0},
  };
  std::string script =
      "dd if=/dev/zero of=mac.img bs=1024 count=1440 2>/dev/null\nhformat -l Orvanta mac.img >/dev/null\n"
      "hmkdir :Letters :Letters:Old :Empty\n";
  for (size_t i = 0; i < files.size(); ++i) {
    const File& f = files[i];
    const std::string bin = "in" + std::to_string(i) + ".bin";
    ASSERT_TRUE(WriteFileBytes(dir.File(bin), MacBinary("x", f.typeCreator, f.flags, f.data, f.resource, 3000000000u + i)));
    script += "hcopy -m " + bin + " '" + f.hfsPath + "'\n";
  }
  ASSERT_TRUE(RunScript(dir, script));
  const std::string summary = Ovxcli(dir, "extract mac.img out");
  EXPECT_EQ("4 folders, 7 files, " + std::to_string(3000 + 900 + 70000 + 20000 + 10 + 20 + 30 + 40 + 50) + " bytes\n", summary);
  EXPECT_TRUE(FileExists(dir.File("out/Orvanta/Empty")));
  EXPECT_EQ("ovxcli: name escaped: Orvanta/%2E_x\novxcli: name escaped: Orvanta/a%2Fb\n"
            "ovxcli: name escaped: Orvanta/%43ON\novxcli: name escaped: Orvanta/dot%2E\n",
            ReadFileText(dir.File("ovxcli-err.txt")));
  for (const File& f : files) {
    SCOPED_TRACE(f.hfsPath);
    ASSERT_TRUE(RunScript(dir, "hmount mac.img >/dev/null\nhcopy -r '" + f.hfsPath + "' data.bin\nhcopy -m '" +
                                   f.hfsPath + "' out.bin\n"));
    const std::string host = dir.File("out/" + f.hostPath);
    EXPECT_EQ(ReadFileBytes(dir.File("data.bin")), ReadFileBytes(host));
    const Bytes mac = ReadFileBytes(dir.File("out.bin"));
    ASSERT_GE(mac.size(), 128u);
    const uint32_t dataLength = ReadBE32(mac.data() + 83), resourceLength = ReadBE32(mac.data() + 87);
    const size_t resourceAt = 128 + (dataLength + 127) / 128 * 128;
    ASSERT_GE(mac.size(), resourceAt + resourceLength);
    const size_t slash = host.rfind('/');
    bool sidecarExists = false;
    const AppleDouble sidecar = ParseAppleDouble(ReadFileBytes(host.substr(0, slash + 1) + "._" + host.substr(slash + 1), &sidecarExists));
    ASSERT_TRUE(sidecarExists);
    EXPECT_EQ(Bytes(mac.begin() + resourceAt, mac.begin() + resourceAt + resourceLength), sidecar.resource);
    ASSERT_EQ(32u, sidecar.finderInfo.size());
    EXPECT_EQ(Bytes(mac.begin() + 65, mac.begin() + 73), Bytes(sidecar.finderInfo.begin(), sidecar.finderInfo.begin() + 8));
    EXPECT_EQ(mac[73], sidecar.finderInfo[8]);  // the Finder flags
    EXPECT_EQ(mac[101], sidecar.finderInfo[9]);
    struct stat status;
    ASSERT_EQ(0, stat(host.c_str(), &status));
    EXPECT_EQ(ReadBE32(mac.data() + 95), MacSecondsOf(status.st_mtime));
  }
  // Data forks only.
  Ovxcli(dir, "extract --data-only mac.img plain");
  EXPECT_TRUE(FileExists(dir.File("plain/Orvanta/Both")));
  EXPECT_FALSE(FileExists(dir.File("plain/Orvanta/._Both")));
}

// HFS+ against 7-Zip, which reads HFS+, HFSX and the HFS wrapper. Every
// program runs in a time zone well away from UTC, so that a date shown
// without its conversion to local time is seen.
const char kZone[] = "TZ=Asia/Kolkata ";

std::string ZonedOvxcli(const ScratchDir& dir, const std::string& arguments) {
  return ToolOutput(dir, kZone + ProgramBeside("ovxcli") + " " + arguments + "\n");
}

// 7zz l -slt, as rows "name|kind|data|resource|modified" by folder path
// ("Disk/Docs"); a resource fork is the alternate stream "PATH:rsrc".
Tree ParseSevenZipListing(const std::string& text) {
  std::map<std::string, std::map<std::string, std::string>> items;
  std::map<std::string, std::string> item;
  bool started = false;
  auto keep = [&] {
    if (!item.empty() && item.count("Path")) items[item["Path"]] = item;
    item.clear();
  };
  for (const std::string& line : Lines(text)) {
    if (line.rfind("----------", 0) == 0) {
      started = true;
      continue;
    }
    if (!started) continue;
    if (line.empty()) {
      keep();
      continue;
    }
    const size_t eq = line.find(" = ");
    if (eq != std::string::npos) item[line.substr(0, eq)] = line.substr(eq + 3);
  }
  keep();
  Tree tree;
  for (auto& entry : items) {
    const std::string& path = entry.first;
    if (entry.second["Alternate Stream"] == "+") continue;
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash);
    const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    std::string row = name + "|" + (entry.second["Folder"] == "+" ? "d" : "-");
    if (entry.second["Folder"] != "+") {
      const auto resource = items.find(path + ":rsrc");
      row += "|" + entry.second["Size"] + "|" + (resource == items.end() ? "0" : resource->second["Size"]);
    }
    tree[folder].insert(row + "|" + entry.second["Modified"]);
  }
  return tree;
}

// ovxcli ls -R in the same rows, its folders named as 7-Zip names them.
Tree ParseOvxcliAsSevenZip(const std::string& text) {
  Tree tree;
  std::string folder;
  for (const std::string& line : Lines(text)) {
    if (line.find('\t') == std::string::npos) {
      folder = line.substr(0, line.size() - 2);  // "Disk:Docs::" → "Disk:Docs"
      for (char& c : folder) c = c == ':' ? '/' : c;
      continue;
    }
    const std::vector<std::string> f = Fields(line, '\t');
    std::string row = f[0] + "|" + f[1];
    if (f[1] == "-") row += "|" + f[3] + "|" + std::to_string(std::stoull(f[2]) - std::stoull(f[3]));
    tree[folder].insert(row + "|" + f[6]);
  }
  return tree;
}

// What 7-Zip lists that ovxcli shows otherwise by design: the private folder
// of hard-link targets is hidden, and each hard link (named in links, path
// → the number of its target) lists as that target.
Tree AsOvxcliShowsIt(Tree theirs, const std::string& volume, const std::map<std::string, uint32_t>& links) {
  const std::string hidden = volume + "/[HFS+ Private Data]";
  for (const auto& link : links) {
    const size_t slash = link.first.rfind('/');
    const std::string folder = link.first.substr(0, slash), name = link.first.substr(slash + 1);
    std::set<std::string>& rows = theirs[folder];
    for (auto row = rows.begin(); row != rows.end(); ++row) {
      if (row->rfind(name + "|", 0) != 0) continue;
      rows.erase(row);
      for (const std::string& target : theirs[hidden]) {
        if (target.rfind("iNode" + std::to_string(link.second) + "|", 0) == 0) rows.insert(name + target.substr(target.find('|')));
      }
      break;
    }
  }
  theirs.erase(hidden);
  std::set<std::string>& top = theirs[volume];
  for (auto row = top.begin(); row != top.end();) row = row->rfind("[HFS+ Private Data]|", 0) == 0 ? top.erase(row) : std::next(row);
  return theirs;
}

// ovxcli cat of every file gives what 7zz x -so gives; ovxcli extract writes
// the same data, the resource fork in its AppleDouble file, and 7-Zip's
// time. Of a hard link 7-Zip gives its target in the private folder. cat
// runs for every catEvery-th file only: two programs a file take their time.
void ExpectHfsPlusFilesAgree(const ScratchDir& dir, const std::string& ours, const std::string& theirs,
                             const std::string& volume, const Tree& tree, const std::map<std::string, uint32_t>& links,
                             int catEvery) {
  ASSERT_TRUE(RunScript(dir, "rm -rf out seven\n" + std::string(kZone) + ProgramBeside("ovxcli") + " extract " + ours +
                                 " out >/dev/null\n7zz x -oseven " + theirs + " >/dev/null\n"));
  int compared = 0;
  for (const auto& folder : tree) {
    for (const std::string& row : folder.second) {
      const std::vector<std::string> f = Fields(row, '|');
      if (f[1] != "-") continue;
      const std::string path = folder.first + "/" + f[0];
      SCOPED_TRACE(path);
      const auto link = links.find(path);
      const std::string sevenPath =
          link == links.end() ? path : volume + "/[HFS+ Private Data]/iNode" + std::to_string(link->second);
      std::string hfsFolder = folder.first;
      for (char& c : hfsFolder) c = c == '/' ? ':' : c;
      if (compared % catEvery == 0) {
        const std::string catted = ZonedOvxcli(dir, "cat " + ours + " '" + hfsFolder + "' '" + f[0] + "'");
        // cat gives the resource fork of a file whose data fork is empty, as on HFS.
        // (-sns- leaves the resource fork out of a data fork's bytes.)
        const std::string catFrom =
            f[2] == "0" && f[3] != "0" ? " '" + sevenPath + ":rsrc'" : " -sns- '" + sevenPath + "'";
        EXPECT_EQ(ToolOutput(dir, "7zz x -so " + theirs + catFrom + "\n"), catted);
      }
      const Bytes data = ReadFileBytes(dir.File("out/" + path));
      EXPECT_EQ(ReadFileBytes(dir.File("seven/" + sevenPath)), data);
      bool hasResource = false;
      const Bytes resource = ReadFileBytes(dir.File("seven/" + sevenPath + ":rsrc"), &hasResource);
      if (hasResource) {
        EXPECT_EQ(resource, ParseAppleDouble(ReadFileBytes(dir.File("out/" + folder.first + "/._" + f[0]))).resource);
      }
      struct stat mine, seven;
      ASSERT_EQ(0, stat(dir.File("out/" + path).c_str(), &mine));
      ASSERT_EQ(0, stat(dir.File("seven/" + sevenPath).c_str(), &seven));
      EXPECT_EQ(seven.st_mtime, mine.st_mtime);
      ++compared;
    }
  }
  EXPECT_GT(compared, 0);
}

void ExpectSevenZipAgrees(const ScratchDir& dir, const std::string& ours, const std::string& theirs,
                          const std::string& volume, const std::map<std::string, uint32_t>& links = {},
                          int catEvery = 1) {
  SCOPED_TRACE(ours);
  const Tree mine = ParseOvxcliAsSevenZip(ZonedOvxcli(dir, "ls -R " + ours));
  const std::string listing = ToolOutput(dir, kZone + std::string("7zz l -slt -sns ") + theirs + "\n");
  EXPECT_EQ(AsOvxcliShowsIt(ParseSevenZipListing(listing), volume, links), mine) << listing;
  ExpectHfsPlusFilesAgree(dir, ours, theirs, volume, mine, links, catEvery);
}

// 2021-03-05 05:06:07 UTC, in seconds since 1904.
const uint32_t kMarch2021 = 3697765567u;

HfsPlusPlan MakeSevenZipSample(uint32_t* sharedId) {
  HfsPlusPlan plan;
  plan.volumeName = u"Disk";
  plan.rootModified = kMarch2021;
  const uint32_t docs = AddHfsPlusFolder(plan, kHfsPlusRootId, u"Docs", kMarch2021 + 60);
  const uint32_t deep = AddHfsPlusFolder(plan, docs, u"\u03A0\u03B1\u03BB\u03B9\u03AC", kMarch2021 - 86400);
  HfsPlusItem& letter = AddHfsPlusFile(plan, docs, u"Letter", Content(3000, 1), kMarch2021 + 3600);
  letter.type = "TEXT";
  letter.creator = "ttxt";
  letter.resource = Content(333, 2);
  AddHfsPlusFile(plan, docs, u"Cafe\u0301 cre\u0300me", Content(4096, 3), kMarch2021 - 200 * 86400);
  AddHfsPlusFile(plan, deep, u"\u6F22\u5B57 \u304B\u3099", Content(1, 4), kMarch2021);
  AddHfsPlusFile(plan, deep, u"Empty", {}, kMarch2021);
  AddHfsPlusFile(plan, kHfsPlusRootId, u"Icon", {}, kMarch2021).resource = Content(700, 5);
  *sharedId = AddHfsPlusFile(plan, docs, u"Shared", Content(5000, 6), kMarch2021 + 7).id;
  AddHfsPlusHardLink(plan, kHfsPlusRootId, u"Shared link", *sharedId);
  return plan;
}

TEST(OvxcliAgainstSevenZip, HfsPlusPlainWrappedPartitionedAndHfsx) {
  ScratchDir dir;
  uint32_t sharedId = 0;
  HfsPlusPlan plan = MakeSevenZipSample(&sharedId);
  const std::map<std::string, uint32_t> links = {{"Disk/Shared link", sharedId}, {"Disk/Docs/Shared", sharedId}};
  const Bytes plus = FlattenImage(BuildHfsPlusVolume(plan));
  ASSERT_TRUE(WriteFileBytes(dir.File("plus.img"), plus));
  ExpectSevenZipAgrees(dir, "plus.img", "plus.img", "Disk", links);
  ASSERT_TRUE(WriteFileBytes(dir.File("wrapped.img"), WrapInHfs(plus, 20)));
  ExpectSevenZipAgrees(dir, "wrapped.img", "wrapped.img", "Disk", links);
  // 7-Zip lists a partitioned disk's partitions; its HFS+ volume is taken out whole.
  const uint32_t blocks = static_cast<uint32_t>(plus.size() / 512);
  ASSERT_TRUE(WriteFileBytes(dir.File("disk.img"), MakePartitionedDisk(96 + blocks, UsualPartitionMap(96, blocks), {{}, {}, plus})));
  ASSERT_TRUE(RunScript(dir, "7zz x -so disk.img Disk.hfs > partition.img\n"));
  EXPECT_EQ(plus, ReadFileBytes(dir.File("partition.img")));
  ExpectSevenZipAgrees(dir, "disk.img", "partition.img", "Disk", links);
  EXPECT_EQ("format=hfsplus partitionStart=96 headerLength=0 sizeKB=" + std::to_string((96 + blocks) / 2) + "\n",
            ZonedOvxcli(dir, "info disk.img"));

  HfsPlusPlan hfsx;
  hfsx.hfsx = true;
  hfsx.volumeName = u"Case";
  hfsx.rootModified = kMarch2021;
  AddHfsPlusFile(hfsx, kHfsPlusRootId, u"readme", Content(10, 7), kMarch2021);
  AddHfsPlusFile(hfsx, kHfsPlusRootId, u"README", Content(20, 8), kMarch2021);
  ASSERT_TRUE(WriteFileBytes(dir.File("hfsx.img"), FlattenImage(BuildHfsPlusVolume(hfsx))));
  ExpectSevenZipAgrees(dir, "hfsx.img", "hfsx.img", "Case");
}

// 7-Zip 26.02 finds a "Headers Error" in an extents overflow file of more
// than one leaf node, so the overflow records here fit one node; the unit
// tests read larger overflow files.
TEST(OvxcliAgainstSevenZip, HfsPlusOverflowExtentsAndADeepCatalog) {
  ScratchDir dir;
  HfsPlusPlan plan;
  plan.volumeName = u"Frag";
  plan.rootModified = kMarch2021;
  plan.blockBytes = 512;  // 300 files in a catalog of two levels
  const uint32_t many = AddHfsPlusFolder(plan, kHfsPlusRootId, u"Many", kMarch2021);
  for (int i = 0; i < 300; ++i) AddHfsPlusFile(plan, many, u"File " + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)) + std::u16string(i / 26 + 1, u'x'), Content(i, 10 + i), kMarch2021 + i);
  AddHfsPlusFile(plan, kHfsPlusRootId, u"Scattered", Content(512 * 300 + 17, 9), kMarch2021).fragmentBlocks = 1;
  AddHfsPlusFile(plan, kHfsPlusRootId, u"Runs", Content(512 * 40, 10), kMarch2021).fragmentBlocks = 3;
  ASSERT_TRUE(WriteFileBytes(dir.File("frag.img"), FlattenImage(BuildHfsPlusVolume(plan))));
  ExpectSevenZipAgrees(dir, "frag.img", "frag.img", "Frag", {}, 20);
}

// A file past 4 GB (sparse, so that the image stays small on disk) is
// listed as 7-Zip lists it and streamed whole by cat and extract, with less
// memory than the file: neither holds it. Its last bytes, past 4 GB, show
// that no offset wrapped on the way.
TEST(OvxcliAgainstSevenZip, HfsPlusFilePast4GBStreams) {
  ScratchDir dir;
  HfsPlusPlan plan;
  plan.volumeName = u"Big";
  plan.rootModified = kMarch2021;
  HfsPlusItem& large = AddHfsPlusFile(plan, kHfsPlusRootId, u"Movie", Content(100000, 1), kMarch2021);
  large.dataLength = (4ull << 30) + 12345;
  large.dataTail = Content(50000, 2);
  ASSERT_TRUE(WriteSparseImage(dir.File("big.img"), BuildHfsPlusVolume(plan)));
  const std::string listing = ToolOutput(dir, kZone + std::string("7zz l -slt -sns big.img\n"));
  EXPECT_EQ(ParseSevenZipListing(listing), ParseOvxcliAsSevenZip(ZonedOvxcli(dir, "ls -R big.img"))) << listing;
  ASSERT_TRUE(WriteFileBytes(dir.File("head.bin"), large.data));
  ASSERT_TRUE(WriteFileBytes(dir.File("tail.bin"), large.dataTail));
  // AddressSanitizer reserves its shadow memory up front: no limit of the
  // address space can stand under it, and the sanitizer build runs unlimited.
#if defined(__SANITIZE_ADDRESS__) || ORVANTA_HAS_ADDRESS_SANITIZER
  const std::string limited = ProgramBeside("ovxcli");
#else
  const std::string limited = "ulimit -v 300000\n" + ProgramBeside("ovxcli");
#endif
  const std::string checks = ToolOutput(
      dir, limited + " cat big.img Big Movie | tail -c 50000 | cmp - tail.bin && echo cat\n" + limited +
               " extract big.img out >/dev/null\nhead -c 100000 out/Big/Movie | cmp - head.bin && "
               "tail -c 50000 out/Big/Movie | cmp - tail.bin && stat -c %s out/Big/Movie\n");
  EXPECT_EQ("cat\n" + std::to_string(large.dataLength) + "\n", checks);
}

}  // namespace
#endif

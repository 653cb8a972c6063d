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

#include "byte_order.h"
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
        ++compared;
      }
    }
    EXPECT_EQ(17, compared);
  }
}

}  // namespace
#endif

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <limits>
#include <map>

#include "cli/args.h"
#include "cli/commands.h"
#include "common/cp932.h"
#include "vfs/archive.h"
#include "vfs/file_stream.h"
#include "vfs/zlib_codec.h"

namespace kova::cli {

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "usage: kova archive list FILE\n"
    "       kova archive cat FILE NAME\n"
    "       kova archive extract FILE DIR\n"
    "       kova archive pack OUT DIR [--crc-mode 0|1]\n"
    "       kova archive append EXE ARCHIVE OUT\n"
    "\n"
    "FILE is a data file (game.dat, save.dat), a data file with a .ext index beside it, or a\n"
    "player with a title appended. NAME uses \\ or / between folders and any case.";

// Writes to an open file descriptor (stdout).
class FdStream : public TNxBigStream {
 public:
  explicit FdStream(int fd) : fd_(fd) {}
  int64_t Size() const override { return pos_; }
  int64_t Position() const override { return pos_; }
  void SetPosition(int64_t) override {}
  size_t Read(void*, size_t) override { return 0; }
  size_t Write(const void* buffer, size_t n) override {
    auto* p = static_cast<const uint8_t*>(buffer);
    size_t done = 0;
    while (done < n) {
      ssize_t put = ::write(fd_, p + done, n - done);
      if (put <= 0) break;
      done += static_cast<size_t>(put);
    }
    pos_ += static_cast<int64_t>(done);
    return done;
  }
  std::string Name() const override { return "standard output"; }

 private:
  int fd_;
  int64_t pos_ = 0;
};

void OpenExisting(TVrFileCollection& c, const fs::path& file) {
  struct stat st;
  if (::stat(file.c_str(), &st) != 0)
    throw Error("cannot open " + file.string() + ": no such file");
  if (!S_ISREG(st.st_mode)) throw Error("cannot open " + file.string() + ": not a file");
  c.OpenArchive(file);
}

bool IsEof(const TVrFile& e) {
  return cp932::EqualNoCase(e.Name(), TVrFileCollection::kEofName);
}

// Copies an entry's decompressed bytes; stored entries stream without being held in memory.
void CopyEntry(TVrFileCollection& c, const TVrFile& e, TNxBigStream& out) {
  if (e.stored && !e.data) {
    if (auto range = c.OpenEntryRange(e.Name())) {
      if (CopyStream(out, *range, range->Size()) != range->Size())
        throw Error("cannot read entry " + cp932::ToUtf8(e.Name()));
      return;
    }
  }
  Bytes data = c.ReadEntryBytes(e.Name());
  out.WriteExact(data.data(), data.size());
}

// The folders and file name an entry name stands for below a target folder; nothing when the
// name would leave it.
std::optional<fs::path> SafeRelativePath(std::string_view name) {
  if (name.empty() || name[0] == '\\' || name[0] == '/') return std::nullopt;
  if (name.size() >= 2 && name[1] == ':') return std::nullopt;
  fs::path rel;
  size_t start = 0;
  for (size_t i = 0; i <= name.size(); i += i < name.size() ? cp932::CharLen(name, i) : 1) {
    const bool sep =
        i == name.size() || ((name[i] == '\\' || name[i] == '/') && cp932::CharLen(name, i) == 1);
    if (!sep) continue;
    std::string_view part = name.substr(start, i - start);
    start = i + 1;
    if (part.empty()) continue;
    if (part == "." || part == "..") return std::nullopt;
    rel /= cp932::ToUtf8(part);
  }
  if (rel.empty()) return std::nullopt;
  return rel;
}

int List(Args& args) {
  const fs::path file = args.Next("FILE");
  args.Done();
  TVrFileCollection c;
  OpenExisting(c, file);
  std::string out;
  for (int i = 0; i < c.Count(); ++i) {
    TVrFile& e = c.At(i);
    if (IsEof(e)) continue;
    out += cp932::ToUtf8(e.Name());
    out += '\t';
    out += std::to_string(c.UnpackedSize(e));
    out += e.stored ? "\tstored\n" : "\tdeflated\n";
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}

int Cat(Args& args) {
  const fs::path file = args.Next("FILE");
  std::string name = ArgToCp932(args.Next("NAME"), "NAME");
  args.Done();
  std::replace(name.begin(), name.end(), '/', '\\');  // '/' is never a trail byte
  TVrFileCollection c;
  OpenExisting(c, file);
  TVrFile* e = c.FindEntry(name);
  if (!e) throw Error(cp932::ToUtf8(name) + ":ファイルがありません");
  std::fflush(stdout);
  FdStream out(STDOUT_FILENO);
  CopyEntry(c, *e, out);
  return 0;
}

int Extract(Args& args) {
  const fs::path file = args.Next("FILE");
  const fs::path dir = args.Next("DIR");
  args.Done();
  TVrFileCollection c;
  OpenExisting(c, file);
  // Every name is checked before anything is written.
  std::vector<std::pair<TVrFile*, fs::path>> plan;
  for (int i = 0; i < c.Count(); ++i) {
    TVrFile& e = c.At(i);
    if (IsEof(e)) continue;
    auto rel = SafeRelativePath(e.Name());
    if (!rel) throw Error("entry \"" + cp932::ToUtf8(e.Name()) + "\" would leave " + dir.string());
    plan.emplace_back(&e, dir / *rel);
  }
  for (auto& [e, path] : plan) {
    fs::create_directories(path.parent_path());
    TNxBigFileStream out(path, TNxBigFileStream::Mode::kCreate,
                         std::numeric_limits<int64_t>::max());
    CopyEntry(c, *e, out);
  }
  return 0;
}

int Pack(Args& args) {
  const auto mode = args.Option("crc-mode");
  const fs::path out = args.Next("OUT");
  const fs::path dir = args.Next("DIR");
  args.Done();
  uint8_t crcMode = 0;
  if (mode && *mode != "0" && *mode != "1") throw UsageError("--crc-mode takes 0 or 1");
  if (mode) crcMode = static_cast<uint8_t>(*mode == "1");
  if (!fs::is_directory(dir)) throw Error("not a folder: " + dir.string());

  std::error_code ec;
  const fs::path outAbs = fs::weakly_canonical(out, ec);
  std::map<std::string, fs::path> files;  // CP932 name -> file, in byte order of the names
  for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator();
       ++it) {
    if (!it->is_regular_file() || it->is_symlink()) continue;
    if (fs::weakly_canonical(it->path(), ec) == outAbs) continue;
    std::string name;
    for (const auto& part : fs::relative(it->path(), dir)) {
      auto conv = cp932::FromUtf8(part.string());
      if (!conv) throw Error("file name cannot be written in CP932: " + it->path().string());
      if (!name.empty()) name += '\\';
      name += *conv;
    }
    files.emplace(std::move(name), it->path());
  }

  TVrFileCollection c;
  c.SetBaseFolder(dir);
  for (const auto& [name, path] : files)
    c.AddFileEntry(name).crcMode = crcMode;
  try {
    TNxBigFileStream stream(out, TNxBigFileStream::Mode::kCreate);
    c.SaveArchive(stream);
    stream.Sync();
  } catch (...) {
    fs::remove(out, ec);
    throw;
  }
  return 0;
}

int Append(Args& args) {
  const fs::path exe = args.Next("EXE");
  const fs::path archive = args.Next("ARCHIVE");
  const fs::path out = args.Next("OUT");
  args.Done();
  const Bytes program = ReadWholeFile(exe);
  if (program.size() > INT32_MAX)
    throw Error("program too large to carry a title: " + exe.string());
  TNxBigFileStream data(archive, TNxBigFileStream::Mode::kRead);

  fs::path tmp = out;
  tmp += ".tmp";
  {
    std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(program.data()),
            static_cast<std::streamsize>(program.size()));
    std::vector<char> buf(1 << 20);
    for (;;) {
      size_t n = data.Read(buf.data(), buf.size());
      if (n == 0) break;
      f.write(buf.data(), static_cast<std::streamsize>(n));
    }
    ByteWriter trailer;
    trailer.I32(static_cast<int32_t>(program.size()));
    trailer.Raw("kv");
    f.write(reinterpret_cast<const char*>(trailer.Data().data()), 6);
    f.flush();
    if (!f) {
      std::error_code ec;
      fs::remove(tmp, ec);
      throw Error("cannot write " + out.string());
    }
  }
  // The result runs like the program it was made from.
  fs::permissions(tmp, fs::status(exe).permissions());
  fs::rename(tmp, out);
  return 0;
}

}  // namespace

int RunArchive(std::span<char* const> argv) {
  Args args(argv, kUsage);
  if (args.WantsHelp()) {
    std::puts(kUsage);
    return 0;
  }
  const std::string sub = args.Next("subcommand (list, cat, extract, pack or append)");
  if (sub == "list") return List(args);
  if (sub == "cat") return Cat(args);
  if (sub == "extract") return Extract(args);
  if (sub == "pack") return Pack(args);
  if (sub == "append") return Append(args);
  throw UsageError("unknown subcommand: " + sub);
}

}  // namespace kova::cli

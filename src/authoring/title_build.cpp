#include "authoring/title_build.h"

#include <algorithm>
#include <climits>
#include <map>
#include <set>

#include "authoring/page_source.h"
#include "authoring/project_source.h"
#include "authoring/source_syntax.h"
#include "common/cp932.h"
#include "common/stream.h"
#include "vfs/archive.h"
#include "vfs/file_stream.h"
#include "vfs/install_set.h"

namespace kova::authoring {

namespace fs = std::filesystem;

namespace {

std::map<std::string, AssetConverter>& Converters() {
  static std::map<std::string, AssetConverter> m;
  return m;
}

std::string LowerExt(const fs::path& p) {
  return cp932::Lower(p.extension().string());
}

}  // namespace

void RegisterAssetConverter(std::string extension, AssetConverter converter) {
  Converters()[cp932::Lower(extension)] = std::move(converter);
}

std::string ArchiveNameOf(const fs::path& relative) {
  std::string name;
  for (const auto& part : relative) {
    auto conv = cp932::FromUtf8(part.string());
    if (!conv) throw Error("file name cannot be written in CP932: " + relative.string());
    if (!name.empty()) name += '\\';
    name += *conv;
  }
  const std::string file = relative.filename().string();
  if (cp932::Lower(file) == "kova.kps") {
    name.replace(name.size() - 3, 3, "kpb");
  } else if (LowerExt(relative) == ".kss") {
    name.replace(name.size() - 3, 3, "ksb");
  }
  return name;
}

BuildReport BuildTitle(const BuildOptions& o) {
  if (!fs::is_directory(o.source)) throw Error("not a folder: " + o.source.string());
  std::error_code ec;
  const fs::path outAbs = fs::weakly_canonical(o.output, ec);

  // Every file below the source folder, in a stable order.
  std::vector<fs::path> files;
  for (auto it = fs::recursive_directory_iterator(o.source);
       it != fs::recursive_directory_iterator(); ++it) {
    if (it->is_directory()) {
      // The output folder may lie inside the source folder: never pack our own results.
      if (fs::weakly_canonical(it->path(), ec) == outAbs) it.disable_recursion_pending();
      continue;
    }
    if (!it->is_regular_file()) continue;
    files.push_back(fs::relative(it->path(), o.source));
  }
  std::sort(files.begin(), files.end());

  BuildReport report;
  // Archive name -> bytes made by the build; none for a file copied as it is, which the archive
  // writer reads itself (so media files stay stored for streaming and keep their file times).
  std::map<std::string, std::optional<Bytes>> entries;
  std::map<std::string, std::string> owners;  // folded archive name -> source file
  // Archive names are looked up without regard to case: two files must not meet in one.
  auto claim = [&](const std::string& name, const fs::path& from) {
    auto [it, fresh] = owners.emplace(cp932::Lower(name), from.generic_string());
    if (!fresh)
      throw Error(from.generic_string() + " and " + it->second + " both become \"" +
                  cp932::ToUtf8(name) + "\" in the title");
  };
  auto add = [&](const std::string& name, std::optional<Bytes> data, const fs::path& from) {
    claim(name, from);
    entries[name] = std::move(data);
  };

  PageCompiler pages;
  std::vector<std::pair<std::string, fs::path>> pageFiles;
  std::optional<ProjectFile> rootProject;
  for (const fs::path& rel : files) {
    const std::string name = ArchiveNameOf(rel);
    const std::string shown = rel.generic_string();
    if (cp932::Lower(rel.filename().string()) == "kova.kps") {
      const Bytes data = ReadWholeFile(o.source / rel);
      ProjectFile p = CompileProjectSource(AsText(data), shown);
      if (rel.has_parent_path() == false) rootProject = p;
      add(name, p.Write(), rel);
      ++report.projects;
    } else if (LowerExt(rel) == ".kss") {
      const Bytes data = ReadWholeFile(o.source / rel);
      pages.Add(AsText(data), name, shown);
      pageFiles.emplace_back(name, rel);
      claim(name, rel);
    } else if (auto c = Converters().find(LowerExt(rel)); c != Converters().end()) {
      ConvertedAsset a = c->second(name, ReadWholeFile(o.source / rel));
      add(a.name, std::move(a.data), rel);
      ++report.converted;
    } else {
      add(name, std::nullopt, rel);
      ++report.copied;
    }
  }
  if (!rootProject) throw Error("no kova.kps in " + o.source.string());
  auto compiled = pages.Finish();
  for (size_t i = 0; i < compiled.size(); ++i) {
    entries[pageFiles[i].first] = compiled[i]->Save();
    ++report.pages;
  }
  TKovaInstallSet install;
  install.title = rootProject->title;
  install.complete = 1;
  TVrFileCollection c;
  c.SetBaseFolder(o.source);
  for (auto& [name, data] : entries) {
    if (!data) {
      c.AddFileEntry(name);
      continue;
    }
    TVrFile& e = c.AddMemoryEntry(name);
    e.data->Data() = std::move(*data);
  }
  // The title carries its install data too, so a player with the title appended plays when it
  // is copied anywhere on its own.
  if (!c.FindEntry("install.dat")) c.AddMemoryEntry("install.dat").data->Data() = install.Write();
  TNxBigMemoryStream archive;
  c.SaveArchive(archive);

  fs::create_directories(o.output);
  if (o.embedPlayer) {
    const Bytes program = ReadWholeFile(*o.embedPlayer);
    if (program.size() > INT32_MAX)
      throw Error("program too large to carry a title: " + o.embedPlayer->string());
    ByteWriter w;
    w.Raw(program);
    w.Raw(archive.Data());
    w.I32(static_cast<int32_t>(program.size()));
    w.Raw("kv");
    report.archive = o.output / o.embedPlayer->filename();
    WriteFileAtomic(report.archive, w.Data());
    fs::permissions(report.archive, fs::status(*o.embedPlayer).permissions());
    // A game.dat of an earlier build beside the player would be found instead of its own title.
    fs::remove(o.output / "game.dat", ec);
  } else {
    report.archive = o.output / "game.dat";
    WriteFileAtomic(report.archive, archive.Data());
  }
  install.SaveToFile(o.output / "install.dat");
  return report;
}

}  // namespace kova::authoring

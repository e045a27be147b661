// Reads arbitrary bytes as install data and as a folder-to-disc list.
#include <cstddef>
#include <cstdint>

#include "vfs/install_set.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kova::TKovaInstallSet s;
  if (s.LoadFromBytes({data, size}, "install.dat")) {
    kova::TKovaInstallSet again;
    again.LoadFromBytes(s.Write(), "again");
  }
  try {
    kova::ByteReader r({data, size}, "folders");
    kova::TFolderDiskList l;
    l.Read(r);
    l.DiscOf("bgm\\sub\\a.wav");
  } catch (const kova::FormatError&) {
  }
  return 0;
}

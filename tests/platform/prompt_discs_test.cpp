#include <gtest/gtest.h>

#include "platform/discs.h"
#include "platform/scripted_prompt.h"

namespace kova {
namespace {

TEST(ScriptedPrompt, AnswersInOrderThenCancelOkAlternately) {
  ScriptedPrompt p({PromptAnswer::kOk, PromptAnswer::kOk});
  auto ask = [&] { return p.Ask("t", "c", PromptIcon::kQuestion, PromptButtons::kOkCancel); };
  EXPECT_EQ(ask(), PromptAnswer::kOk);
  // An OK-only box takes no scripted answer.
  EXPECT_EQ(p.Ask("t", "c", PromptIcon::kInformation, PromptButtons::kOk), PromptAnswer::kOk);
  EXPECT_EQ(ask(), PromptAnswer::kOk);
  EXPECT_EQ(ask(), PromptAnswer::kCancel);
  EXPECT_EQ(ask(), PromptAnswer::kOk);
  EXPECT_EQ(ask(), PromptAnswer::kCancel);
  EXPECT_EQ(p.Asked(), 6);
}

TEST(MountedDiscs, OpticalFileSystemsOnly) {
  const std::string table =
      "/dev/sda1 / ext4 rw 0 0\n"
      "/dev/sr0 /media/cdrom iso9660 ro 0 0\n"
      "/dev/sr1 /media/My\\040Disc udf ro 0 0\n"
      "garbage\n";
  auto roots = MountedDiscs::ParseMounts(table);
  ASSERT_EQ(roots.size(), 2u);
  EXPECT_EQ(roots[0], "/media/cdrom");
  EXPECT_EQ(roots[1], "/media/My Disc");
  MountedDiscs discs({"/extra"}, "/nonexistent/mounts");
  EXPECT_EQ(discs.Roots(), std::vector<std::filesystem::path>{"/extra"});
}

}  // namespace
}  // namespace kova

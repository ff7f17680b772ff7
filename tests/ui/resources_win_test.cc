// The string table ships the same ids in English, Japanese and Chinese, and
// the texts that are formatted later keep their placeholders everywhere.
#include "ui/resources_win.h"

#include <gtest/gtest.h>

#include "ui/resource_ids.h"

namespace {

const UINT kIds[] = {IDS_CAPTION, IDS_VIEW_CONTENTS, IDS_VERSION, IDS_LAST_CONFIGURED, IDS_BROWSE_PROMPT,
                     IDS_PROMPT_INSTALL_EXTRACT, IDS_PROMPT_INSTALL, IDS_PROMPT_EXTRACT, IDS_REBOOT_REQUIRED,
                     IDS_REBOOT_CAPTION, IDS_REBOOT_QUESTION, IDS_REBOOT_NOTICE, IDS_LOG_NOT_OPENED,
                     IDS_DISKS_FOUND, IDS_REMOVE_DISKS, IDS_NO_PACKAGE, IDS_BAD_EXTRACT_FOLDER,
                     IDS_NO_DISK_SPACE, IDS_SETUP_NOT_STARTED, IDS_EXTRACT_FAILED, IDS_VIRTUAL_GUEST,
                     IDS_NO_WMI, IDS_COLUMN_DATE, IDS_COLUMN_TIME, IDS_COLUMN_SIZE, IDS_COLUMN_FILENAME,
                     IDS_DESCRIPTION_FONT, IDS_TPM_CAUTION, IDS_TM_CAUTION};
const LANGID kLanguages[] = {0x0409, 0x0411, 0x0804};

int Count(const std::wstring& text, const std::wstring& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::wstring::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(ResourcesTest, EveryLanguageHasEveryStringWithItsPlaceholders) {
  for (LANGID language : kLanguages) {
    SCOPED_TRACE(language);
    for (UINT id : kIds) EXPECT_FALSE(brx::ui::LoadResourceStringIn(id, language).empty()) << id;
    std::wstring space = brx::ui::LoadResourceStringIn(IDS_NO_DISK_SPACE, language);
    EXPECT_EQ(3, Count(space, L"%lu"));
    EXPECT_EQ(0, Count(space, L"%s"));
    std::wstring setup = brx::ui::LoadResourceStringIn(IDS_SETUP_NOT_STARTED, language);
    EXPECT_EQ(1, Count(setup, L"%s"));
    EXPECT_EQ(0, Count(setup, L"%lu"));
  }
  // The line ends of the disk-space text are real line feeds.
  EXPECT_NE(std::wstring::npos, brx::ui::LoadResourceStringIn(IDS_NO_DISK_SPACE, 0x0411).find(L"\n\n"));
}

}  // namespace

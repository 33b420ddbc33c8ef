// The first stage gives the installer's copy the command line it was given
// itself, read as the installer reads its own: the options, then /OWNCOPY,
// then /D= and the folder last, unquoted and whole.
#include <gtest/gtest.h>

#include "first_stage_args.h"

TEST(FirstStageLine, TheCopyGetsTheSameOptionsWithOwnCopyBeforeTheFolder)
{
    const std::wstring copy = L"C:\\Windows\\Temp\\TalvexSetup.1.2\\setup.exe";
    const struct {
        const wchar_t *given;
        bool silent;
        const wchar_t *copyLine; // after the copy's quoted name
    } cases[] = {
        {L"setup.exe", false, L" /OWNCOPY"},
        {L"\"C:\\Users\\a b\\Downloads\\setup.exe\"", false, L" /OWNCOPY"},
        {L"\"C:\\Users\\a b\\setup.exe\" /S /D=C:\\Program Files\\Talvex Updater", true,
         L" /S /OWNCOPY /D=C:\\Program Files\\Talvex Updater"},
        {L"setup.exe /S /CONFIG=\"C:\\Deploy here\\config.talvex\" /D=C:\\Tools", true,
         L" /S /CONFIG=\"C:\\Deploy here\\config.talvex\" /OWNCOPY /D=C:\\Tools"},
        {L"setup.exe /D=C:\\Tools", false, L" /OWNCOPY /D=C:\\Tools"},
        // The folder runs to the end of the line, whatever it holds.
        {L"setup.exe /D=C:\\Programme\\\u00dcber /S", false, L" /OWNCOPY /D=C:\\Programme\\\u00dcber /S"},
        {L"setup.exe /S   ", true, L" /S /OWNCOPY"},
        // Only "/S" alone, in capitals, is a silent run.
        {L"setup.exe /s /SILENT /S2", false, L" /s /SILENT /S2 /OWNCOPY"},
        // A quoted "/D=" or one inside another option is no folder.
        {L"setup.exe \"/D=C:\\Tools\" /S", true, L" \"/D=C:\\Tools\" /S /OWNCOPY"},
        {L"setup.exe /CONFIG=a/D=b", false, L" /CONFIG=a/D=b /OWNCOPY"},
        {L"setup.exe /S \"/S\"", true, L" /S \"/S\" /OWNCOPY"},
    };
    for (const auto &c : cases) {
        InstallerLine line = ReadInstallerLine(c.given);
        EXPECT_EQ(c.silent, line.silent) << c.given;
        EXPECT_EQ(L"\"" + copy + L"\"" + c.copyLine, OwnCopyCommandLine(copy, line)) << c.given;
    }
}

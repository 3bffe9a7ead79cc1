// Kaptor32.exe's own resources, read from the built program file beside this test program
// (the resources are linked into the program, not into the tests): the version block the
// About box reads, the icons, the range cursor, the button glyphs and the manifest; and the
// DLLs it imports.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "framework/win/Handles.h"
#include "resources/resource.h"

using namespace kaptor;

namespace {

std::string ProgramPath() {
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path(self, n);
    return path.substr(0, path.find_last_of('\\') + 1) + "Kaptor32.exe";
}

#pragma pack(push, 2)
struct GroupHeader {  // RT_GROUP_ICON / RT_GROUP_CURSOR
    WORD reserved, type, count;
};
struct GroupIconEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
struct GroupCursorEntry {
    WORD width, height;  // height counts the XOR and AND halves
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

class ProgramResources : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = ProgramPath();
        ASSERT_NE(GetFileAttributesA(path_.c_str()), INVALID_FILE_ATTRIBUTES)
            << path_ << " is missing: build the Kaptor32 target before wine_tests";
        module_ = LoadLibraryExA(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module_, nullptr) << "error " << GetLastError();
    }
    void TearDown() override {
        if (module_) FreeLibrary(module_);
    }

    // The raw bytes of one resource, empty if it is absent.
    std::vector<BYTE> Raw(LPCSTR name, LPCSTR type) const {
        HRSRC info = FindResourceA(module_, name, type);
        if (!info) return {};
        HGLOBAL loaded = LoadResource(module_, info);
        const BYTE* data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
        if (!data) return {};
        return std::vector<BYTE>(data, data + SizeofResource(module_, info));
    }

    // The version block as GetFileVersionInfoA gives it to the About box.
    std::vector<char> VersionBlock() const {
        DWORD handle = 0;
        DWORD size = GetFileVersionInfoSizeA(path_.c_str(), &handle);
        std::vector<char> block(size);
        if (size == 0 || !GetFileVersionInfoA(path_.c_str(), 0, size, block.data())) block.clear();
        return block;
    }

    static std::optional<std::string> Query(std::vector<char>& block, const std::string& path) {
        void* value = nullptr;
        UINT length = 0;
        if (!VerQueryValueA(block.data(), path.c_str(), &value, &length) || !value) return std::nullopt;
        const char* text = static_cast<const char*>(value);
        return std::string(text, strnlen(text, length));
    }

    // Checks one icon group and returns the bytes of its 32 x 32 image.
    std::vector<BYTE> Check32x32Icon(LPCSTR name, bool withSmall) const {
        std::vector<BYTE> group = Raw(name, RT_GROUP_ICON);
        EXPECT_GE(group.size(), sizeof(GroupHeader));
        if (group.size() < sizeof(GroupHeader)) return {};
        GroupHeader head;
        std::memcpy(&head, group.data(), sizeof head);
        EXPECT_EQ(head.type, 1);
        EXPECT_EQ(head.count, withSmall ? 2 : 1);
        if (group.size() < sizeof head + head.count * sizeof(GroupIconEntry)) {
            ADD_FAILURE() << "short icon group";
            return {};
        }
        std::vector<BYTE> image32;
        bool seen16 = false;
        for (int i = 0; i < head.count; ++i) {
            GroupIconEntry e;
            std::memcpy(&e, group.data() + sizeof head + i * sizeof e, sizeof e);
            EXPECT_EQ(e.colours, 16);
            EXPECT_EQ(e.bitCount, 4);
            std::vector<BYTE> image = Raw(MAKEINTRESOURCEA(e.id), RT_ICON);
            EXPECT_EQ(image.size(), e.bytes);
            if (image.size() < sizeof(BITMAPINFOHEADER)) {
                ADD_FAILURE() << "icon image " << e.id << " missing";
                continue;
            }
            BITMAPINFOHEADER bih;
            std::memcpy(&bih, image.data(), sizeof bih);
            EXPECT_EQ(bih.biBitCount, 4);
            EXPECT_EQ(bih.biWidth, e.width);
            EXPECT_EQ(bih.biHeight, 2 * e.height);  // colour bits and AND mask
            int side = e.width;
            // Header, 16 palette entries, 4-bit colour rows, 1-bit mask rows (4-byte aligned).
            size_t expected = 40 + 64 + side * ((side * 4 + 31) / 32 * 4) + side * ((side + 31) / 32 * 4);
            EXPECT_EQ(image.size(), expected) << "icon image " << e.id;
            if (e.width == 32 && e.height == 32) image32 = image;
            if (e.width == 16 && e.height == 16) seen16 = true;
        }
        EXPECT_FALSE(image32.empty()) << name;
        EXPECT_EQ(seen16, withSmall) << "16 x 16 image";
        return image32;
    }

    std::string path_;
    HMODULE module_ = nullptr;
};

TEST_F(ProgramResources, VersionBlockHoldsOneJapaneseTranslation) {
    std::vector<char> block = VersionBlock();
    ASSERT_FALSE(block.empty()) << "no version resource";
    EXPECT_LE(block.size(), 64000u) << "the About box reads at most 64000 bytes";

    // The About box asks with a trailing backslash.
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation\\", &value, &length));
    ASSERT_EQ(length, 4u) << "exactly one language and code page pair";
    const WORD* words = static_cast<const WORD*>(value);
    EXPECT_EQ(words[0], 0x0411);
    EXPECT_EQ(words[1], 0x03A4);
}

TEST_F(ProgramResources, VersionStringsSitInBlock041103A4) {
    std::vector<char> block = VersionBlock();
    ASSERT_FALSE(block.empty());
    const struct {
        const char* name;
        const char* value;
    } expected[] = {
        {"FileVersion", "1.4.0.67"}, {"ProductVersion", "1.4"},       {"ProductName", "Kaptor32"},
        {"OriginalFilename", "KAPTOR.EXE"}, {"LegalTrademarks", "Kaptor"}, {"CompanyName", ""},
        {"InternalName", ""},        {"Comments", ""},
        // Shift-JIS here (narrow literals are compiled to CP932, Wine's ANSI code page).
        {"FileDescription", "画面ｷｬﾌﾟﾁｬｰﾂｰﾙ"},
    };
    for (const auto& e : expected) {
        std::optional<std::string> got = Query(block, std::string("\\StringFileInfo\\041103A4\\") + e.name);
        ASSERT_TRUE(got.has_value()) << e.name << " is missing";
        EXPECT_EQ(*got, e.value) << e.name;
    }
    // No second block under the default language for the About box to stumble on.
    EXPECT_FALSE(Query(block, "\\StringFileInfo\\040904B0\\FileVersion").has_value());
    EXPECT_FALSE(Query(block, "\\StringFileInfo\\041103A4\\NoSuchName").has_value());
}

TEST_F(ProgramResources, JapaneseDescriptionIsStoredAsUnicode) {
    // Read through the wide API, independent of the ANSI code page: proves windres took
    // the .rc text in the right encoding.
    std::wstring path(path_.begin(), path_.end());
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\041103A4\\FileDescription", &value, &length));
    const wchar_t* text = static_cast<const wchar_t*>(value);
    EXPECT_EQ(std::wstring(text, wcsnlen(text, length)), L"画面ｷｬﾌﾟﾁｬｰﾂｰﾙ");
}

TEST_F(ProgramResources, FixedPartGivesFileVersion1_4_0_67) {
    std::vector<char> block = VersionBlock();
    ASSERT_FALSE(block.empty());
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", &value, &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    VS_FIXEDFILEINFO fixed;
    std::memcpy(&fixed, value, sizeof fixed);
    EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(HIWORD(fixed.dwFileVersionMS), 1);
    EXPECT_EQ(LOWORD(fixed.dwFileVersionMS), 4);
    EXPECT_EQ(HIWORD(fixed.dwFileVersionLS), 0);
    EXPECT_EQ(LOWORD(fixed.dwFileVersionLS), 67);
    EXPECT_EQ(fixed.dwProductVersionMS, fixed.dwFileVersionMS) << "product 1.4";
    EXPECT_EQ(fixed.dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed.dwFileFlags & fixed.dwFileFlagsMask, 0u) << "no debug or pre-release flag";
}

TEST_F(ProgramResources, MainIconIs16ColoursAt32And16Pixels) {
    std::vector<BYTE> byName = Check32x32Icon("MAINICON", true);
    std::vector<BYTE> byId = Check32x32Icon(MAKEINTRESOURCEA(IDI_MAINICON), true);
    EXPECT_EQ(byName, byId) << "id 1 is the same picture";

    // As the application object loads it: a 32 x 32 icon with a transparent background.
    UniqueIcon icon(static_cast<HICON>(LoadImageA(module_, "MAINICON", IMAGE_ICON, 32, 32, 0)));
    ASSERT_TRUE(icon);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon.get(), &info));
    UniqueBitmap colour(info.hbmColor), mask(info.hbmMask);
    EXPECT_TRUE(info.fIcon);
    BITMAP bm{};
    ASSERT_TRUE(GetObjectA(colour.get(), sizeof bm, &bm));
    EXPECT_EQ(bm.bmWidth, 32);
    EXPECT_EQ(bm.bmHeight, 32);

    UniqueIcon small(static_cast<HICON>(LoadImageA(module_, "MAINICON", IMAGE_ICON, 16, 16, 0)));
    ASSERT_TRUE(small);
    ICONINFO smallInfo{};
    ASSERT_TRUE(GetIconInfo(small.get(), &smallInfo));
    UniqueBitmap smallColour(smallInfo.hbmColor), smallMask(smallInfo.hbmMask);
    ASSERT_TRUE(GetObjectA(smallColour.get(), sizeof bm, &bm));
    EXPECT_EQ(bm.bmWidth, 16);
}

TEST_F(ProgramResources, MainIconHasTransparentAndOpaquePixels) {
    std::vector<BYTE> image = Check32x32Icon("MAINICON", true);
    ASSERT_EQ(image.size(), 40u + 64 + 512 + 128);
    const BYTE* andMask = image.data() + 40 + 64 + 512;
    int transparent = 0;
    for (int i = 0; i < 128; ++i)
        for (int bit = 0; bit < 8; ++bit) transparent += (andMask[i] >> bit) & 1;
    EXPECT_GT(transparent, 100);
    EXPECT_LT(transparent, 32 * 32 - 200);
}

TEST_F(ProgramResources, AboutFramesAreOtherPicturesOfTheSameSize) {
    std::vector<BYTE> main = Check32x32Icon("MAINICON", true);
    std::vector<BYTE> a = Check32x32Icon(MAKEINTRESOURCEA(IDI_ABOUT_A), false);
    std::vector<BYTE> b = Check32x32Icon(MAKEINTRESOURCEA(IDI_ABOUT_B), false);
    EXPECT_NE(a, main);
    EXPECT_NE(b, main);
    EXPECT_NE(a, b);
}

TEST_F(ProgramResources, CutCursorIs32x32WithHotSpotAtTopLeft) {
    std::vector<BYTE> group = Raw("CUT", RT_GROUP_CURSOR);
    ASSERT_EQ(group.size(), sizeof(GroupHeader) + sizeof(GroupCursorEntry));
    GroupCursorEntry e;
    std::memcpy(&e, group.data() + sizeof(GroupHeader), sizeof e);
    EXPECT_EQ(e.width, 32);
    EXPECT_EQ(e.height, 64);

    // The cursor image: hot spot, header, black and white palette, XOR rows, AND rows.
    std::vector<BYTE> image = Raw(MAKEINTRESOURCEA(e.id), RT_CURSOR);
    ASSERT_EQ(image.size(), 4u + 40 + 8 + 128 + 128);
    WORD hot[2];
    std::memcpy(hot, image.data(), sizeof hot);
    EXPECT_EQ(hot[0], 0);
    EXPECT_EQ(hot[1], 0);
    const BYTE* xorBits = image.data() + 4 + 40 + 8;
    const BYTE* andBits = xorBits + 128;
    // Rows are stored bottom-up: the top row is the last one; the left pixel is the high bit.
    EXPECT_EQ(andBits[31 * 4] & 0x80, 0) << "the hot-spot pixel is drawn";
    int transparent = 0, opaque = 0, inverted = 0;
    for (int i = 0; i < 128; ++i)
        for (int bit = 0; bit < 8; ++bit) {
            bool a = (andBits[i] >> bit) & 1, x = (xorBits[i] >> bit) & 1;
            if (a && !x) ++transparent;
            else if (a && x) ++inverted;
            else ++opaque;
        }
    EXPECT_GT(transparent, 32 * 32 / 2) << "the AND mask leaves most of the square clear";
    EXPECT_GT(opaque, 100);
    EXPECT_EQ(inverted, 0);

    UniqueIcon cursor(static_cast<HICON>(LoadImageA(module_, "CUT", IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE)));
    ASSERT_TRUE(cursor);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(cursor.get(), &info));
    UniqueBitmap colour(info.hbmColor), mask(info.hbmMask);
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(info.xHotspot, 0u);
    EXPECT_EQ(info.yHotspot, 0u);
    BITMAP bm{};
    ASSERT_TRUE(GetObjectA(mask.get(), sizeof bm, &bm));
    EXPECT_EQ(bm.bmWidth, 32);
}

TEST_F(ProgramResources, GlyphsAreKeyedBitmapsOfTheirButtonSize) {
    const struct {
        int id;
        int size;
    } glyphs[] = {
        {IDB_CLOSE, ToolGlyphSize},     {IDB_OPEN, ToolGlyphSize},    {IDB_CAPTURE, ToolGlyphSize},
        {IDB_CAPTURE2, ToolGlyphSize},  {IDB_CAPTURE3, ToolGlyphSize}, {IDB_MAX, ToolGlyphSize},
        {IDB_COPY, ToolGlyphSize},      {IDB_PASTE, ToolGlyphSize},   {IDB_SAVE, ToolGlyphSize},
        {IDB_OPTION, ToolGlyphSize},    {IDB_PRINT, ToolGlyphSize},   {IDB_PRTDIALOG, ToolGlyphSize},
        {IDB_RANGE, PanelGlyphSize},    {IDB_NORANGE, PanelGlyphSize}, {IDB_RESIZE, PanelGlyphSize},
    };
    std::vector<std::vector<BYTE>> seen;
    for (const auto& g : glyphs) {
        SCOPED_TRACE(g.id);
        std::vector<BYTE> raw = Raw(MAKEINTRESOURCEA(g.id), RT_BITMAP);
        ASSERT_GE(raw.size(), sizeof(BITMAPINFOHEADER));
        BITMAPINFOHEADER bih;
        std::memcpy(&bih, raw.data(), sizeof bih);
        EXPECT_EQ(bih.biWidth, g.size);
        EXPECT_EQ(bih.biHeight, g.size);
        EXPECT_EQ(bih.biBitCount, 24);
        EXPECT_EQ(bih.biCompression, static_cast<DWORD>(BI_RGB));
        size_t stride = (g.size * 3 + 3) & ~3u;
        ASSERT_EQ(raw.size(), 40 + stride * g.size);
        // Both the key colour and drawn pixels, so the glyph is neither empty nor a block.
        int key = 0;
        for (int y = 0; y < g.size; ++y)
            for (int x = 0; x < g.size; ++x) {
                const BYTE* p = raw.data() + 40 + y * stride + x * 3;  // blue, green, red
                COLORREF c = RGB(p[2], p[1], p[0]);
                key += c == GlyphKeyColor;
            }
        EXPECT_GT(key, g.size * g.size / 10);
        EXPECT_LT(key, g.size * g.size * 8 / 10);
        for (const auto& other : seen) EXPECT_NE(other, raw) << "two buttons with one picture";
        seen.push_back(raw);

        UniqueBitmap bitmap(static_cast<HBITMAP>(
            LoadImageA(module_, MAKEINTRESOURCEA(g.id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
        ASSERT_TRUE(bitmap);
        BITMAP bm{};
        ASSERT_TRUE(GetObjectA(bitmap.get(), sizeof bm, &bm));
        EXPECT_EQ(bm.bmWidth, g.size);
        EXPECT_EQ(bm.bmHeight, g.size);
    }
}

TEST_F(ProgramResources, ManifestGivesCommonControls6AndDpiAwareness) {
    std::vector<BYTE> manifest = Raw(MAKEINTRESOURCEA(1), RT_MANIFEST);
    ASSERT_FALSE(manifest.empty()) << "RT_MANIFEST id 1";
    std::string text(manifest.begin(), manifest.end());
    EXPECT_NE(text.find("level=\"asInvoker\""), std::string::npos);

    // Build the activation context Windows would build at start: it fails on a malformed
    // manifest or an unresolvable dependency, which would stop the program from starting.
    ACTCTXA ctx{};
    ctx.cbSize = sizeof ctx;
    ctx.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    ctx.lpSource = path_.c_str();
    ctx.lpResourceName = MAKEINTRESOURCEA(1);
    HANDLE actctx = CreateActCtxA(&ctx);
    ASSERT_NE(actctx, INVALID_HANDLE_VALUE) << "error " << GetLastError();

    auto setting = [&](const wchar_t* ns, const wchar_t* name) {
        wchar_t value[128] = {};
        SIZE_T written = 0;
        if (!QueryActCtxSettingsW(0, actctx, ns, name, value, 128, &written)) return std::wstring(L"<none>");
        return std::wstring(value);
    };
    EXPECT_EQ(setting(L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware"), L"true/pm");
    EXPECT_EQ(setting(L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness"),
              L"PerMonitorV2, PerMonitor");

    // Inside the context comctl32.dll is redirected to the common controls 6 assembly. (The
    // DLL itself is no witness: this process has loaded comctl32 already, and Wine's
    // DllGetVersion says 5.81 for both.)
    ULONG_PTR cookie = 0;
    ASSERT_TRUE(ActivateActCtx(actctx, &cookie));
    ACTCTX_SECTION_KEYED_DATA redirect{};
    redirect.cbSize = sizeof redirect;
    BOOL found = FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, L"comctl32.dll",
                                          &redirect);
    DeactivateActCtx(0, cookie);
    std::wstring identity;
    if (found) {
        DWORD index = redirect.ulAssemblyRosterIndex;
        SIZE_T needed = 0;
        QueryActCtxW(0, actctx, &index, AssemblyDetailedInformationInActivationContext, nullptr, 0, &needed);
        std::vector<char> buffer(needed);
        if (needed && QueryActCtxW(0, actctx, &index, AssemblyDetailedInformationInActivationContext, buffer.data(),
                                   needed, &needed)) {
            auto* info = reinterpret_cast<ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION*>(buffer.data());
            if (info->lpAssemblyEncodedAssemblyIdentity) identity = info->lpAssemblyEncodedAssemblyIdentity;
        }
    }
    ReleaseActCtx(actctx);
    ASSERT_TRUE(found) << "comctl32.dll is not redirected";
    EXPECT_EQ(identity.rfind(L"Microsoft.Windows.Common-Controls,", 0), 0u) << identity;
    EXPECT_NE(identity.find(L"version=\"6.0."), std::wstring::npos) << identity;
}

// The DLLs the first window does not need are loaded at their first call: importing any of
// them would load it before WinMain again.
TEST_F(ProgramResources, ImportsOnlyWhatTheFirstWindowNeeds) {
    HMODULE image = LoadLibraryExA(path_.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(image, nullptr) << "error " << GetLastError();
    const auto* base = reinterpret_cast<const BYTE*>(image);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const DWORD imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    std::vector<std::string> names;
    for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports); d->Name; ++d) {
        std::string name = reinterpret_cast<const char*>(base + d->Name);
        CharLowerA(name.data());
        names.push_back(name);
    }
    FreeLibrary(image);
    EXPECT_NE(std::find(names.begin(), names.end(), "comctl32.dll"), names.end());
    for (const char* lazy : {"comdlg32.dll", "shell32.dll", "winspool.drv", "version.dll", "winmm.dll"})
        EXPECT_EQ(std::find(names.begin(), names.end(), lazy), names.end()) << lazy;
}

}  // namespace

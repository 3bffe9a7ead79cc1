// Reading what the PDF printer produced: the queue writes one PDF per job into a folder of
// the user's (cups-pdf), and poppler's pdftoppm turns its page into a picture we can measure.
// Shared by the in-process and the end-to-end print tests; Windows and the C++ library only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace printtest {

// The queue's output folder as a Windows path with a trailing backslash: KAPTOR_PDF_DIR when
// set, else $HOME/PDF on drive Z:, where Wine shows the Unix root.
inline std::string PdfDir() {
    if (const char* dir = std::getenv("KAPTOR_PDF_DIR"); dir && *dir) {
        std::string d = dir;
        if (d.back() != '\\') d += '\\';
        return d;
    }
    const char* home = std::getenv("HOME");
    std::string d = std::string("Z:") + (home && *home ? home : "/root") + "/PDF/";
    for (char& c : d)
        if (c == '/') c = '\\';
    return d;
}

// A Z: path as the Unix programs see it.
inline std::string UnixPath(const std::string& winPath) {
    std::string p = winPath.size() > 2 && winPath[1] == ':' ? winPath.substr(2) : winPath;
    for (char& c : p)
        if (c == '\\') c = '/';
    return p;
}

inline std::set<std::string> PdfFiles() {
    std::set<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((PdfDir() + "*.pdf").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.insert(data.cFileName);
    while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
}

inline long long FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA a;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a)) return -1;
    return (static_cast<long long>(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
}

// Waits while pump runs between polls for a PDF not in before, complete (its size no longer
// changing); its full path, or empty on time-out.
template <class Pump>
std::string WaitNewPdf(const std::set<std::string>& before, int timeoutMs, Pump pump) {
    std::string found;
    long long lastSize = -2;
    for (int waited = 0; waited < timeoutMs; waited += 250) {
        pump();
        Sleep(250);
        if (found.empty()) {
            for (const auto& name : PdfFiles())
                if (!before.count(name)) found = PdfDir() + name;
            continue;
        }
        const long long size = FileSize(found);
        if (size > 0 && size == lastSize) return found;
        lastSize = size;
    }
    return {};
}

// One rendered page: rows of RGB triples, top row first. A point outside the page throws,
// so a test that measured the wrong thing fails instead of reading foreign memory.
struct Page {
    int Width = 0, Height = 0;
    int Pages = 0;  // in the whole document
    std::vector<std::uint8_t> Rgb;
    bool Dark(int x, int y, int limit = 200) const {
        const std::uint8_t* p = Pixel(x, y);
        return p[0] < limit || p[1] < limit || p[2] < limit;
    }
    std::uint32_t At(int x, int y) const {
        const std::uint8_t* p = Pixel(x, y);
        return (p[0] << 16) | (p[1] << 8) | p[2];
    }

private:
    const std::uint8_t* Pixel(int x, int y) const {
        if (x < 0 || y < 0 || x >= Width || y >= Height || Rgb.size() < static_cast<std::size_t>(Width) * Height * 3)
            throw std::out_of_range("point (" + std::to_string(x) + ", " + std::to_string(y) + ") is not on the " +
                                    std::to_string(Width) + " x " + std::to_string(Height) + " page");
        return &Rgb[(static_cast<std::size_t>(y) * Width + x) * 3];
    }
};

// Renders the first page at dpi with pdftoppm and counts the pages with pdfinfo. Unix
// programs started from Wine cannot be waited for, so the shell leaves a marker file.
inline bool RenderPdf(const std::string& pdf, int dpi, Page& page, std::string* error = nullptr) {
    const std::string base = pdf.substr(0, pdf.size() - 4) + "-page";
    for (const char* ext : {".ppm", ".info", ".done", ".fail"}) DeleteFileA((base + ext).c_str());
    const std::string in = UnixPath(pdf), out = UnixPath(base);
    std::string command = "/bin/sh -c \"pdftoppm -r " + std::to_string(dpi) + " -singlefile '" + in + "' '" + out +
                          "' && pdfinfo '" + in + "' > '" + out + ".info' && touch '" + out + ".done' || touch '" +
                          out + ".fail'\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        if (error) *error = "cannot start /bin/sh: " + std::to_string(GetLastError());
        return false;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    for (int waited = 0;; waited += 100) {
        if (FileSize(base + ".done") >= 0) break;
        if (FileSize(base + ".fail") >= 0 || waited > 30000) {
            if (error) *error = "pdftoppm failed on " + in;
            return false;
        }
        Sleep(100);
    }
    {
        std::ifstream info(base + ".info");
        for (std::string line; std::getline(info, line);)
            if (line.rfind("Pages:", 0) == 0) page.Pages = std::atoi(line.c_str() + 6);
    }
    bool ok = false;
    {
        std::ifstream ppm(base + ".ppm", std::ios::binary);
        std::string magic;
        int maxval = 0;
        ppm >> magic >> page.Width >> page.Height >> maxval;
        ppm.get();
        if (magic == "P6" && maxval == 255 && page.Width > 0 && page.Height > 0) {
            page.Rgb.resize(static_cast<std::size_t>(page.Width) * page.Height * 3);
            ppm.read(reinterpret_cast<char*>(page.Rgb.data()), static_cast<std::streamsize>(page.Rgb.size()));
            ok = static_cast<bool>(ppm);
        }
    }
    if (!ok) {
        if (error) *error = "unexpected picture from pdftoppm";
        return false;
    }
    // Read: the files go (the PDF stays only when something failed, to be looked at).
    for (const char* ext : {".ppm", ".info", ".done"}) DeleteFileA((base + ext).c_str());
    DeleteFileA(pdf.c_str());
    return true;
}

// The smallest rectangle holding every pixel darker than limit; empty when the page is blank.
inline RECT InkBox(const Page& page, int limit = 200) {
    RECT r{page.Width, page.Height, 0, 0};
    for (int y = 0; y < page.Height; ++y)
        for (int x = 0; x < page.Width; ++x)
            if (page.Dark(x, y, limit)) {
                if (x < r.left) r.left = x;
                if (y < r.top) r.top = y;
                if (x + 1 > r.right) r.right = x + 1;
                if (y + 1 > r.bottom) r.bottom = y + 1;
            }
    if (r.right == 0) r = RECT{0, 0, 0, 0};
    return r;
}

}  // namespace printtest

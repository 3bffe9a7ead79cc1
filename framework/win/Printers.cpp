#include "framework/win/Printers.h"

#include <winspool.h>

#include "framework/win/Forms.h"
#include "framework/win/LazyLibraries.h"

namespace kaptor {

namespace {

std::string SystemText(DWORD error) {
    char* buffer = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, error, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = n && buffer ? std::string(buffer, n) : "#" + IntToStr(error);
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return text;
}

// An open printer for the few calls that need one.
class PrinterHandle {
public:
    explicit PrinterHandle(const std::string& name) {
        if (!lazy::OpenPrinterA(const_cast<char*>(name.c_str()), &h_, nullptr)) h_ = nullptr;
    }
    ~PrinterHandle() {
        if (h_) lazy::ClosePrinter(h_);
    }
    PrinterHandle(const PrinterHandle&) = delete;
    PrinterHandle& operator=(const PrinterHandle&) = delete;
    HANDLE get() const { return h_; }

private:
    HANDLE h_ = nullptr;
};

std::string DefaultPrinterName() {
    DWORD size = 0;
    lazy::GetDefaultPrinterA(nullptr, &size);
    if (size == 0) return {};
    std::string name(size, '\0');
    if (!lazy::GetDefaultPrinterA(name.data(), &size)) return {};
    name.resize(name.find('\0') == std::string::npos ? name.size() : name.find('\0'));
    return name;
}

}  // namespace

TPrinter::TPrinter() = default;

TPrinter::~TPrinter() {
    if (Printing()) Abort();
}

std::vector<std::string> TPrinter::Printers() const {
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    DWORD needed = 0, count = 0;
    lazy::EnumPrintersA(flags, nullptr, 4, nullptr, 0, &needed, &count);
    std::vector<std::string> names;
    if (needed == 0) return names;
    std::vector<BYTE> buffer(needed);
    if (!lazy::EnumPrintersA(flags, nullptr, 4, buffer.data(), needed, &needed, &count)) return names;
    const auto* info = reinterpret_cast<const PRINTER_INFO_4A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        if (info[i].pPrinterName) names.emplace_back(info[i].pPrinterName);
    return names;
}

void TPrinter::RequirePrinter() {
    if (!device_.empty()) return;
    std::string name = DefaultPrinterName();
    if (name.empty()) {
        const auto all = Printers();
        if (all.empty()) throw EPrinter(texts::NoDefaultPrinter);
        name = all.front();
    }
    SelectPrinter(name, "", nullptr);
}

std::string TPrinter::PrinterName() {
    RequirePrinter();
    return device_;
}

std::string TPrinter::Port() {
    RequirePrinter();
    return port_;
}

void TPrinter::SelectPrinter(const std::string& device, const std::string& port, const DEVMODEA* mode) {
    if (Printing()) throw EPrinter(texts::PrinterBusy);
    std::string realPort = port;
    std::vector<BYTE> realMode;
    if (mode) {
        const BYTE* p = reinterpret_cast<const BYTE*>(mode);
        realMode.assign(p, p + mode->dmSize + mode->dmDriverExtra);
    }
    PrinterHandle printer(device);
    if (printer.get()) {
        if (realPort.empty()) {
            DWORD needed = 0;
            lazy::GetPrinterA(printer.get(), 2, nullptr, 0, &needed);
            std::vector<BYTE> info(needed ? needed : 1);
            if (needed && lazy::GetPrinterA(printer.get(), 2, info.data(), needed, &needed)) {
                const auto* i2 = reinterpret_cast<const PRINTER_INFO_2A*>(info.data());
                if (i2->pPortName) realPort = i2->pPortName;
            }
        }
        if (realMode.empty()) {
            char* name = const_cast<char*>(device.c_str());
            const LONG size = lazy::DocumentPropertiesA(nullptr, printer.get(), name, nullptr, nullptr, 0);
            if (size > 0) {
                realMode.assign(static_cast<std::size_t>(size), 0);
                if (lazy::DocumentPropertiesA(nullptr, printer.get(), name, reinterpret_cast<DEVMODEA*>(realMode.data()),
                                        nullptr, DM_OUT_BUFFER) < 0)
                    realMode.clear();
            }
        }
    }
    device_ = device;
    port_ = realPort;
    mode_ = std::move(realMode);
}

std::vector<BYTE> TPrinter::DevMode() {
    RequirePrinter();
    return mode_;
}

void TPrinter::Reset() {
    if (Printing()) throw EPrinter(texts::PrinterBusy);
    device_.clear();
    port_.clear();
    mode_.clear();
}

void TPrinter::Fail(DWORD error) { throw EPrinter(Format(texts::PrinterFailed, device_.c_str(), SystemText(error).c_str())); }

void TPrinter::BeginDoc() {
    if (Printing()) throw EPrinter(texts::PrinterBusy);
    RequirePrinter();
    const auto* mode = mode_.empty() ? nullptr : reinterpret_cast<const DEVMODEA*>(mode_.data());
    SetLastError(0);
    UniqueMemDC dc(CreateDCA("WINSPOOL", device_.c_str(), nullptr, mode));
    if (!dc) Fail(GetLastError());
    const std::string title = !Title.empty() ? Title : Application ? Application->Title() : std::string();
    DOCINFOA doc{};
    doc.cbSize = sizeof doc;
    doc.lpszDocName = title.c_str();
    SetLastError(0);
    if (StartDocA(dc.get(), &doc) <= 0) Fail(GetLastError());
    SetLastError(0);
    if (StartPage(dc.get()) <= 0) {
        const DWORD error = GetLastError();
        AbortDoc(dc.get());
        Fail(error);
    }
    dc_ = std::move(dc);
}

void TPrinter::FinishJob() {
    canvas_.reset();  // puts the DC's own pen and brush back before the DC goes
    dc_.reset();
}

void TPrinter::EndDoc() {
    if (!Printing()) throw EPrinter(texts::NotPrinting);
    SetLastError(0);
    bool ok = EndPage(dc_.get()) > 0;
    DWORD error = ok ? 0 : GetLastError();
    if (ok) {
        ok = ::EndDoc(dc_.get()) > 0;
        if (!ok) error = GetLastError();
    } else {
        AbortDoc(dc_.get());
    }
    FinishJob();
    if (!ok) Fail(error);
}

void TPrinter::Abort() {
    if (!Printing()) throw EPrinter(texts::NotPrinting);
    AbortDoc(dc_.get());
    FinishJob();
}

HDC TPrinter::Handle() const {
    if (!Printing()) throw EPrinter(texts::NotPrinting);
    return dc_.get();
}

TCanvas& TPrinter::Canvas() {
    HDC dc = Handle();
    if (!canvas_) canvas_ = std::make_unique<TCanvas>(dc);
    return *canvas_;
}

int TPrinter::DeviceCaps(int index) {
    if (Printing()) return GetDeviceCaps(dc_.get(), index);
    RequirePrinter();
    const auto* mode = mode_.empty() ? nullptr : reinterpret_cast<const DEVMODEA*>(mode_.data());
    SetLastError(0);
    UniqueMemDC ic(CreateICA("WINSPOOL", device_.c_str(), nullptr, mode));
    if (!ic) Fail(GetLastError());
    return GetDeviceCaps(ic.get(), index);
}

TPrinter& Printer() {
    static TPrinter printer;
    return printer;
}

TPrintJob::~TPrintJob() {
    if (!printer_.Printing()) return;
    try {
        printer_.EndDoc();
    } catch (const std::exception&) {
        // Leaving by an error already: that error is the one the user sees.
    }
}

void TPrintJob::End() {
    if (printer_.Printing()) printer_.EndDoc();
}

}  // namespace kaptor

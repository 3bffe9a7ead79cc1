// The printer object: the current printer of the program (the system's default until a
// print or printer-setup dialog chooses another), its device context while a job runs, and
// the job itself. One document is one StartDoc/EndDoc pair; the page is handed to the
// spooler at EndDoc.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/base/SysUtils.h"
#include "framework/win/Graphics.h"
#include "framework/win/Handles.h"

namespace kaptor {

namespace texts {
inline constexpr const char* NoDefaultPrinter = "既定のﾌﾟﾘﾝﾀが選択されていません";
inline constexpr const char* PrinterBusy = "印刷中です";
inline constexpr const char* NotPrinting = "印刷中ではありません";
inline constexpr const char* PrinterFailed = "ﾌﾟﾘﾝﾀ %s に印刷できません：%s";
}  // namespace texts

class EPrinter : public Exception {
public:
    using Exception::Exception;
};

class TPrinter {
public:
    TPrinter();
    ~TPrinter();
    TPrinter(const TPrinter&) = delete;
    TPrinter& operator=(const TPrinter&) = delete;

    // Names of the printers the spooler knows now, local and connected.
    std::vector<std::string> Printers() const;

    // The current printer's name; the system's default on first use. EPrinter with
    // texts::NoDefaultPrinter when there is none.
    std::string PrinterName();
    // Makes a printer current; mode is its device mode (null: the printer's own defaults).
    void SelectPrinter(const std::string& device, const std::string& port, const DEVMODEA* mode);
    // The current printer's device mode, as the dialogs take it (a copy).
    std::vector<BYTE> DevMode();
    std::string Port();

    // Name of the document in the spooler; the application's title when empty.
    std::string Title;

    // Begins a job with one page on the current printer: EPrinter when there is no printer,
    // it is busy with a job of ours, or the spooler refuses.
    void BeginDoc();
    // Ends the page and the job; the device context goes with it, also when ending fails.
    void EndDoc();
    // Throws the job away instead of printing it.
    void Abort();
    bool Printing() const { return static_cast<bool>(dc_); }

    // The job's device context and a canvas on it; EPrinter when no job runs.
    HDC Handle() const;
    TCanvas& Canvas();
    // GetDeviceCaps of the job's device context, or of the current printer outside a job.
    int DeviceCaps(int index);
    int PageWidth() { return DeviceCaps(HORZRES); }
    int PageHeight() { return DeviceCaps(VERTRES); }

    // Forgets the current printer, so the next use takes the system's default again.
    void Reset();

private:
    void RequirePrinter();
    [[noreturn]] void Fail(DWORD error);
    void FinishJob();

    std::string device_, port_;
    std::vector<BYTE> mode_;
    UniqueMemDC dc_;  // the job's device context: DeleteDC, counted with the DCs
    std::unique_ptr<TCanvas> canvas_;
};

// The program's one printer object.
TPrinter& Printer();

// A print job for one scope: begun on construction, ended on every way out of the scope
// (an error included) unless aborted.
class TPrintJob {
public:
    explicit TPrintJob(TPrinter& printer) : printer_(printer) { printer_.BeginDoc(); }
    ~TPrintJob();
    TPrintJob(const TPrintJob&) = delete;
    TPrintJob& operator=(const TPrintJob&) = delete;
    // Ends the job now, so a failure of ending is reported to the caller.
    void End();

private:
    TPrinter& printer_;
};

}  // namespace kaptor

#include "framework/win/Dialogs.h"

#include <cderr.h>

#include <algorithm>

#include "framework/win/Forms.h"
#include "framework/win/Printers.h"
#include "framework/win/LazyLibraries.h"

namespace kaptor {

HWND DialogOwner() {
    if (HWND active = GetActiveWindow()) return active;
    return Application ? Application->Handle() : nullptr;
}

// ---------------------------------------------------------------- TColorDialog

std::function<bool(TColorDialog&)> TColorDialog::ExecuteHook;

TColorDialog::TColorDialog(TComponent* owner) : TComponent(owner) { CustomColors.fill(RGB(255, 255, 255)); }

bool TColorDialog::Execute() {
    if (ExecuteHook) {
        // Answered like the dialog: a cancel leaves the colour as it was.
        const COLORREF before = Color;
        if (ExecuteHook(*this)) return true;
        Color = before;
        return false;
    }
    CHOOSECOLORA cc{};
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = DialogOwner();
    cc.rgbResult = Color;
    cc.lpCustColors = CustomColors.data();
    cc.Flags = CC_RGBINIT | (FullOpen ? CC_FULLOPEN : 0);
    if (!lazy::ChooseColorA(&cc)) return false;
    Color = cc.rgbResult;
    return true;
}

// ---------------------------------------------------------------- TOpenDialog

std::function<bool(TOpenDialog&)> TOpenDialog::ExecuteHook;
std::function<bool(TSaveDialog&)> TSaveDialog::ExecuteHook;

namespace {

const char* const DialogProp = "KaptorFileDialog";

DWORD Flags(TOpenOptions options) {
    static const struct {
        TOpenOption option;
        DWORD flag;
    } map[] = {
        {ofReadOnly, OFN_READONLY},
        {ofOverwritePrompt, OFN_OVERWRITEPROMPT},
        {ofHideReadOnly, OFN_HIDEREADONLY},
        {ofNoChangeDir, OFN_NOCHANGEDIR},
        {ofAllowMultiSelect, OFN_ALLOWMULTISELECT},
        {ofExtensionDifferent, OFN_EXTENSIONDIFFERENT},
        {ofPathMustExist, OFN_PATHMUSTEXIST},
        {ofFileMustExist, OFN_FILEMUSTEXIST},
        {ofCreatePrompt, OFN_CREATEPROMPT},
        {ofNoReadOnlyReturn, OFN_NOREADONLYRETURN},
        {ofNoTestFileCreate, OFN_NOTESTFILECREATE},
        {ofNoValidate, OFN_NOVALIDATE},
        {ofEnableSizing, OFN_ENABLESIZING},
    };
    DWORD flags = 0;
    for (const auto& m : map)
        if (options & m.option) flags |= m.flag;
    return flags;
}

}  // namespace

TOpenDialog::TOpenDialog(TComponent* owner) : TComponent(owner) {}

std::string TOpenDialog::FilterBuffer(const std::string& filter) {
    std::string out;
    out.reserve(filter.size() + 2);
    for (std::size_t i = 0; i < filter.size(); ++i) {
        const auto c = static_cast<unsigned char>(filter[i]);
        if (IsSjisLeadByte(c) && i + 1 < filter.size()) {
            out += filter[i];
            out += filter[++i];
        } else {
            out += c == '|' ? '\0' : filter[i];
        }
    }
    out += '\0';
    out += '\0';
    return out;
}

bool TOpenDialog::CallHook(bool& result) {
    if (!ExecuteHook) return false;
    result = ExecuteHook(*this);
    return true;
}

bool TSaveDialog::CallHook(bool& result) {
    if (!ExecuteHook) return false;
    result = ExecuteHook(*this);
    return true;
}

BOOL TOpenDialog::RunDialog(OPENFILENAMEA& ofn) { return lazy::GetOpenFileNameA(&ofn); }

BOOL TSaveDialog::RunDialog(OPENFILENAMEA& ofn) { return lazy::GetSaveFileNameA(&ofn); }

bool TOpenDialog::WantsHook() const { return OnShow || OnClose || OnSelectionChange || OnTypeChange; }

bool TOpenDialog::Execute() {
    bool result = false;
    {
        // Answered like the dialog: a cancel leaves name and type as they were.
        const std::string fileName = FileName;
        const int filterIndex = FilterIndex;
        if (CallHook(result)) {
            if (!result) {
                FileName = fileName;
                FilterIndex = filterIndex;
            }
            return result;
        }
    }

    const std::string filter = FilterBuffer(Filter);
    std::vector<char> buffer((Options & ofAllowMultiSelect) ? 64 * 1024 : 2048, '\0');
    const std::string_view start = SjisTruncate(FileName, buffer.size() - 1);
    std::copy(start.begin(), start.end(), buffer.begin());

    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = DialogOwner();
    ofn.hInstance = MainInstance();
    ofn.lpstrFilter = Filter.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex = static_cast<DWORD>(std::max(FilterIndex, 0));
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.lpstrInitialDir = InitialDir.empty() ? nullptr : InitialDir.c_str();
    ofn.lpstrTitle = Title.empty() ? nullptr : Title.c_str();
    ofn.lpstrDefExt = DefaultExt.empty() ? nullptr : DefaultExt.c_str();
    ofn.Flags = OFN_EXPLORER | Flags(Options);
    ofn.lCustData = reinterpret_cast<LPARAM>(this);
    ofn.lpfnHook = HookProc;
    PrepareTemplate(ofn);
    if (WantsHook() || (ofn.Flags & (OFN_ENABLETEMPLATE | OFN_ENABLETEMPLATEHANDLE))) ofn.Flags |= OFN_ENABLEHOOK;

    const int filterIndex = FilterIndex;  // a type change while the dialog runs updates it
    BOOL ok = RunDialog(ofn);
    // A remembered name the dialog refuses (gone drive, bad characters) must not keep the
    // dialog from opening at all: open it once more without it.
    if (!ok && lazy::CommDlgExtendedError() == FNERR_INVALIDFILENAME && buffer[0]) {
        std::fill(buffer.begin(), buffer.end(), '\0');
        ok = RunDialog(ofn);
    }
    dialog_ = nullptr;
    if (!ok) {
        FilterIndex = filterIndex;
        return false;
    }
    TakeResult(ofn, buffer);
    return true;
}

void TOpenDialog::TakeResult(const OPENFILENAMEA& ofn, const std::vector<char>& buffer) {
    Files.clear();
    const char* first = buffer.data();
    const std::string head(first);
    const char* next = first + head.size() + 1;
    if ((Options & ofAllowMultiSelect) && next < buffer.data() + buffer.size() && *next) {
        // A folder, then names in it, each ended by a NUL, the list by a second NUL.
        std::string folder = head;
        if (!folder.empty() && folder.back() != '\\') folder += '\\';
        while (next < buffer.data() + buffer.size() && *next) {
            const std::string name(next);
            Files.push_back(folder + name);
            next += name.size() + 1;
        }
    } else {
        Files.push_back(head);
    }
    FileName = Files.front();
    FilterIndex = static_cast<int>(ofn.nFilterIndex);
    Options = (ofn.Flags & OFN_READONLY) ? (Options | ofReadOnly) : (Options & ~ofReadOnly);
    Options = (ofn.Flags & OFN_EXTENSIONDIFFERENT) ? (Options | ofExtensionDifferent)
                                                   : (Options & ~ofExtensionDifferent);
}

std::string TOpenDialog::SelectedPath() const {
    if (!dialog_) return {};
    char path[2048] = {};
    const LRESULT n = SendMessageA(dialog_, CDM_GETFILEPATH, sizeof path, reinterpret_cast<LPARAM>(path));
    return n > 0 ? std::string(path) : std::string();
}

void TOpenDialog::DoShow() {
    if (OnShow) OnShow(this);
}

void TOpenDialog::DoClose() {
    if (OnClose) OnClose(this);
}

void TOpenDialog::DoSelectionChange() {
    if (OnSelectionChange) OnSelectionChange(this);
}

void TOpenDialog::DoTypeChange() {
    if (OnTypeChange) OnTypeChange(this);
}

namespace {

// The dialog, grown by a template of ours, is placed by the system beside its owner and may
// reach past the screen's edge: moved back inside the work area of its monitor.
void KeepOnScreen(HWND dialog) {
    RECT r;
    if (!dialog || !GetWindowRect(dialog, &r)) return;
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoA(MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST), &info)) return;
    const RECT& area = info.rcWork;
    const int w = r.right - r.left, h = r.bottom - r.top;
    const int x = std::max<int>(area.left, std::min<int>(r.left, area.right - w));
    const int y = std::max<int>(area.top, std::min<int>(r.top, area.bottom - h));
    if (x != r.left || y != r.top) SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

UINT_PTR CALLBACK TOpenDialog::HookProc(HWND child, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = static_cast<TOpenDialog*>(GetPropA(child, DialogProp));
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<TOpenDialog*>(reinterpret_cast<OPENFILENAMEA*>(lp)->lCustData);
        SetPropA(child, DialogProp, self);
        self->dialog_ = GetParent(child);
    }
    if (!self) return 0;
    // Exceptions never cross into the dialog's code.
    try {
        switch (msg) {
            case WM_NOTIFY: {
                auto* note = reinterpret_cast<OFNOTIFYA*>(lp);
                switch (note->hdr.code) {
                    case CDN_INITDONE:
                        KeepOnScreen(self->dialog_);
                        self->DoShow();
                        break;
                    case CDN_SELCHANGE: self->DoSelectionChange(); break;
                    case CDN_TYPECHANGE:
                        self->FilterIndex = static_cast<int>(note->lpOFN->nFilterIndex);
                        self->DoTypeChange();
                        break;
                    default: break;
                }
                break;
            }
            case WM_DESTROY: self->DoClose(); break;
            default: break;
        }
        const UINT_PTR r = self->DialogMessage(child, msg, wp, lp);
        if (msg == WM_NCDESTROY) RemovePropA(child, DialogProp);
        return r;
    } catch (const std::exception& e) {
        if (msg == WM_NCDESTROY) RemovePropA(child, DialogProp);
        Application->HandleException(e);
    }
    return 0;
}

// ---------------------------------------------------------------- printer dialogs

std::function<bool(TPrinterSetupDialog&)> TPrinterSetupDialog::ExecuteHook;
std::function<bool(TPrintDialog&)> TPrintDialog::ExecuteHook;

namespace {

// The current printer as the dialog takes it: a DEVNAMES and a DEVMODE in movable memory.
UniqueGlobal CopyToGlobal(const void* data, std::size_t size) {
    UniqueGlobal h(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size ? size : 1));
    if (!h) throw EOutOfMemory();
    GlobalLockGuard lock(h.get());
    if (!lock.get()) throw EOutOfMemory();
    if (size) memcpy(lock.get(), data, size);
    return h;
}

UniqueGlobal DevNames(const std::string& device, const std::string& port) {
    const std::string driver = "winspool";
    std::vector<char> block(sizeof(DEVNAMES));
    auto append = [&](const std::string& s) {
        const auto offset = static_cast<WORD>(block.size());
        block.insert(block.end(), s.begin(), s.end());
        block.push_back('\0');
        return offset;
    };
    DEVNAMES names{};
    names.wDriverOffset = append(driver);
    names.wDeviceOffset = append(device);
    names.wOutputOffset = append(port);
    memcpy(block.data(), &names, sizeof names);
    return CopyToGlobal(block.data(), block.size());
}

// Runs PrintDlgA on the current printer; on OK the chosen printer becomes current.
bool RunPrintDlg(DWORD flags, int* copies) {
    TPrinter& printer = Printer();
    const std::vector<BYTE> mode = printer.DevMode();  // EPrinter when there is none
    PRINTDLGA pd{};
    pd.lStructSize = sizeof pd;
    pd.hwndOwner = DialogOwner();
    UniqueGlobal devMode = mode.empty() ? UniqueGlobal() : CopyToGlobal(mode.data(), mode.size());
    UniqueGlobal devNames = DevNames(printer.PrinterName(), printer.Port());
    pd.hDevMode = devMode.get();
    pd.hDevNames = devNames.get();
    pd.Flags = flags;
    pd.nCopies = 1;
    const BOOL ok = lazy::PrintDlgA(&pd);
    // The dialog may have replaced either block with one of its own: we own what it returns.
    if (pd.hDevMode != devMode.get()) {
        devMode.release();
        devMode.reset(pd.hDevMode);
    }
    if (pd.hDevNames != devNames.get()) {
        devNames.release();
        devNames.reset(pd.hDevNames);
    }
    if (!ok) {
        const DWORD error = lazy::CommDlgExtendedError();
        if (error == PDERR_NODEFAULTPRN || error == PDERR_NODEVICES) throw EPrinter(texts::NoDefaultPrinter);
        return false;
    }
    if (devNames) {
        GlobalLockGuard names(devNames.get());
        GlobalLockGuard modeLock(devMode.get());
        if (const auto* dn = static_cast<const DEVNAMES*>(names.get())) {
            const char* base = reinterpret_cast<const char*>(dn);
            printer.SelectPrinter(base + dn->wDeviceOffset, base + dn->wOutputOffset,
                               static_cast<const DEVMODEA*>(modeLock.get()));
        }
    }
    if (copies) *copies = pd.nCopies ? pd.nCopies : 1;
    return true;
}

}  // namespace

bool TPrinterSetupDialog::Execute() {
    if (ExecuteHook) {
        Printer().DevMode();  // no printer: the same error as the real dialog
        return ExecuteHook(*this);
    }
    return RunPrintDlg(PD_PRINTSETUP, nullptr);
}

bool TPrintDialog::Execute() {
    if (ExecuteHook) {
        Printer().DevMode();
        return ExecuteHook(*this);
    }
    return RunPrintDlg(PD_NOPAGENUMS | PD_NOSELECTION | PD_USEDEVMODECOPIESANDCOLLATE, &Copies);
}

}  // namespace kaptor

#include "app/HelpViewer.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

#include "app/HelpText.h"
#include "framework/base/SysUtils.h"
#include "framework/win/Handles.h"

namespace kaptor {

THelpViewer* HelpViewer = nullptr;

namespace {

constexpr const char* Signature = "KAPTOR32 HELP 1";
constexpr const char* ViewerCaption = "Kaptor32 ﾍﾙﾌﾟ";

[[noreturn]] void Damaged(const std::string& fileName, int line) {
    throw Exception(Format("ﾍﾙﾌﾟﾌｧｲﾙ %s が壊れています (%d 行目)", fileName.c_str(), line));
}

std::string Trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    const auto e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

}  // namespace

// ---------------------------------------------------------------- the file

const THelpTopic* THelpFile::Find(int context) const {
    for (const THelpTopic& t : Topics)
        if (t.Context == context) return &t;
    return nullptr;
}

std::vector<std::pair<THelpKeyword, const THelpTopic*>> THelpFile::Index() const {
    std::vector<std::pair<THelpKeyword, const THelpTopic*>> index;
    for (const THelpTopic& t : Topics)
        for (const THelpKeyword& k : t.Keywords) index.emplace_back(k, &t);
    std::stable_sort(index.begin(), index.end(),
                     [](const auto& a, const auto& b) { return ReadingLess(a.first.Reading, b.first.Reading); });
    return index;
}

THelpFile ParseHelpFile(const std::string& bytes, const std::string& fileName) {
    // Shift-JIS trail bytes are never CR, LF, "@", "#" at a line's start, ";" or "=", so the
    // file can be split on bytes.
    THelpFile file;
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(bytes);
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    if (lines.empty() || Trim(lines[0]) != Signature) Damaged(fileName, 1);
    THelpTopic* current = nullptr;
    bool haveContents = false;
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        const int lineNo = static_cast<int>(i) + 1;
        if (!l.empty() && l[0] == '#') continue;
        if (l.rfind("@contents", 0) == 0) {
            if (haveContents) Damaged(fileName, lineNo);
            haveContents = true;
            file.Contents.Title = Trim(l.substr(9));
            current = &file.Contents;
        } else if (l.rfind("@topic", 0) == 0) {
            std::string rest = Trim(l.substr(6));
            const auto blank = rest.find(' ');
            const auto number = TryStrToInt(rest.substr(0, blank));
            if (!number || *number <= 0 || file.Find(*number)) Damaged(fileName, lineNo);
            THelpTopic topic;
            topic.Context = *number;
            topic.Title = blank == std::string::npos ? std::string() : Trim(rest.substr(blank));
            // current points into Topics only until the next topic is added.
            file.Topics.push_back(std::move(topic));
            current = &file.Topics.back();
        } else if (l.rfind("@keywords", 0) == 0) {
            if (!current || current == &file.Contents) Damaged(fileName, lineNo);
            std::string rest = l.substr(9);
            size_t start = 0;
            while (start <= rest.size()) {
                size_t end = rest.find(';', start);
                if (end == std::string::npos) end = rest.size();
                const std::string k = rest.substr(start, end - start);
                const auto equals = k.find('=');
                THelpKeyword keyword{Trim(k.substr(0, equals)), ""};
                keyword.Reading = equals == std::string::npos ? keyword.Word : Trim(k.substr(equals + 1));
                if (!keyword.Word.empty()) current->Keywords.push_back(keyword);
                start = end + 1;
            }
        } else if (!l.empty() && l[0] == '@') {
            Damaged(fileName, lineNo);
        } else if (current) {
            current->Text += l;
            current->Text += "\r\n";
        } else if (!Trim(l).empty()) {
            Damaged(fileName, lineNo);  // text before any page
        }
    }
    if (!haveContents) Damaged(fileName, static_cast<int>(lines.size()));
    return file;
}

THelpFile LoadHelpFile(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) throw Exception(Format("ﾍﾙﾌﾟﾌｧｲﾙ %s が見つかりません", fileName.c_str()));
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw Exception(Format("ﾍﾙﾌﾟﾌｧｲﾙ %s を読めません", fileName.c_str()));
    return ParseHelpFile(bytes, fileName);
}

// ---------------------------------------------------------------- the viewer

void THelpText::CreateParamsFor(CreateParams& params) {
    TEdit::CreateParamsFor(params);
    params.Style |= ES_AUTOHSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL;
}

THelpViewer::THelpViewer(TComponent* owner) : TForm(owner, "TKaptorHelp") {
    HelpViewer = this;
    SetCaption(ViewerCaption);
    Position = TPosition::poScreenCenter;
    DialogKeys = true;
    SetClientSize(680, 400);

    ContentsBtn = new TButton(this);
    ContentsBtn->SetCaption("目次(&C)");
    ContentsBtn->SetBounds(8, 8, 90, 25);
    ContentsBtn->SetParent(this);
    ContentsBtn->OnClick = [this](TComponent*) { ShowContents(); };

    IndexBtn = new TButton(this);
    IndexBtn->SetCaption("ｷｰﾜｰﾄﾞ(&K)");
    IndexBtn->SetBounds(104, 8, 90, 25);
    IndexBtn->SetParent(this);
    IndexBtn->OnClick = [this](TComponent*) { ShowIndex(""); };

    KeywordEdit = new TEdit(this);
    KeywordEdit->SetBounds(8, 40, 186, 21);
    KeywordEdit->SetParent(this);
    KeywordEdit->SetTabStop(true);
    KeywordEdit->OnChange = [this](TComponent*) { KeywordChange(); };

    List = new TListBox(this);
    List->SetBounds(8, 66, 186, 326);
    List->SetParent(this);
    List->SetTabStop(true);
    List->OnClick = [this](TComponent*) { ListClick(); };

    Text = new THelpText(this);
    Text->SetBounds(202, 8, 470, 384);
    Text->SetParent(this);
    Text->SetTabStop(true);
    // A fixed-pitch font, so that the columns of the text line up.
    TFontSpec font;
    font.Name = "ＭＳ ゴシック";
    font.Height = 14;
    Text->SetFont(font);

}

THelpViewer::~THelpViewer() {
    if (HelpViewer == this) HelpViewer = nullptr;
}

void THelpViewer::Open(THelpFile file) {
    file_ = std::move(file);
    index_ = file_.Index();
    current_ = nullptr;
}

void THelpViewer::Display(const THelpTopic* topic) {
    current_ = topic;
    if (!topic) return;
    SetCaption(std::string(ViewerCaption) + " - " + topic->Title);
    Text->SetText(WrapText(topic->Text, Text->Columns()));
}

int THelpText::Columns() {
    constexpr int fallback = 60;
    RECT area{};
    SendMessageA(Handle(), EM_GETRECT, 0, reinterpret_cast<LPARAM>(&area));
    WindowDC dc(Handle());
    if (!dc.get()) return fallback;
    ScopedSelect font(dc.get(), FontHandle());
    SIZE half{};
    if (!GetTextExtentPoint32A(dc.get(), "0", 1, &half) || half.cx <= 0) return fallback;
    return std::max(20, static_cast<int>((area.right - area.left) / half.cx));
}

void THelpViewer::ShowContents() {
    indexMode_ = false;
    KeywordEdit->SetEnabled(false);
    KeywordEdit->SetText("");
    List->Items().Clear();
    List->Items().Add(file_.Contents.Title);
    for (const THelpTopic& t : file_.Topics) List->Items().Add(t.Title);
    List->SetItemIndex(0);
    Display(&file_.Contents);
}

void THelpViewer::ShowIndex(const std::string& keyword) {
    indexMode_ = true;
    KeywordEdit->SetEnabled(true);
    List->Items().Clear();
    for (const auto& entry : index_) List->Items().Add(entry.first.Word);
    // Until a keyword is chosen the window says what it is showing.
    current_ = nullptr;
    SetCaption(std::string(ViewerCaption) + " - ｷｰﾜｰﾄﾞ");
    Text->SetText("ｷｰﾜｰﾄﾞを入力するか、一覧から選んでください。");
    KeywordEdit->SetText(keyword);
    KeywordChange();
    KeywordEdit->SetFocus();
}

bool THelpViewer::ShowTopic(int context) {
    const THelpTopic* topic = file_.Find(context);
    if (!topic) return false;
    ShowContents();
    for (size_t i = 0; i < file_.Topics.size(); ++i)
        if (&file_.Topics[i] == topic) List->SetItemIndex(static_cast<int>(i) + 1);
    Display(topic);
    return true;
}

void THelpViewer::ListClick() {
    const int i = List->ItemIndex();
    if (i < 0) return;
    if (indexMode_) {
        if (static_cast<size_t>(i) < index_.size()) Display(index_[static_cast<size_t>(i)].second);
    } else if (i == 0) {
        Display(&file_.Contents);
    } else if (static_cast<size_t>(i) <= file_.Topics.size()) {
        Display(&file_.Topics[static_cast<size_t>(i) - 1]);
    }
}

void THelpViewer::KeywordChange() {
    if (!indexMode_) return;
    // The first keyword whose word or reading starts with what is typed, as an index search does.
    const std::string typed = KeywordEdit->Text();
    if (typed.empty()) return;
    for (size_t i = 0; i < index_.size(); ++i) {
        const THelpKeyword& k = index_[i].first;
        if (k.Word.compare(0, typed.size(), typed) == 0 || k.Reading.compare(0, typed.size(), typed) == 0) {
            List->SetItemIndex(static_cast<int>(i));
            Display(index_[i].second);
            return;
        }
    }
}

bool HelpViewerCommand(const std::string& fileName, UINT command, ULONG_PTR data) {
    if (command == HELP_QUIT) {
        if (HelpViewer) HelpViewer->Hide();
        return true;
    }
    THelpFile file;
    try {
        file = LoadHelpFile(fileName);
    } catch (const Exception& e) {
        Application->MessageBox(e.Message, ViewerCaption, MB_OK | MB_ICONERROR);
        return false;
    }
    if (command == HELP_CONTEXT && !file.Find(static_cast<int>(data))) {
        Application->MessageBox(Format("ﾍﾙﾌﾟﾌｧｲﾙ %s にﾄﾋﾟｯｸ %d がありません", fileName.c_str(), static_cast<int>(data)),
                                ViewerCaption, MB_OK | MB_ICONERROR);
        return false;
    }
    if (!HelpViewer) Application->CreateForm<THelpViewer>();
    THelpViewer& viewer = *HelpViewer;
    viewer.Open(std::move(file));
    switch (command) {
        case HELP_CONTEXT: viewer.ShowTopic(static_cast<int>(data)); break;
        case HELP_KEY:
        case HELP_PARTIALKEY:
            viewer.ShowIndex(data ? std::string(reinterpret_cast<const char*>(data)) : std::string());
            break;
        default: viewer.ShowContents(); break;  // HELP_FINDER, HELP_CONTENTS and the rest
    }
    // A modal dialog may have disabled the viewer when it opened; help stays usable.
    EnableWindow(viewer.Handle(), TRUE);
    viewer.Show();
    return true;
}

}  // namespace kaptor

// The program's own help: the help file "Kaptor.hlp" (Shift-JIS text, format below) and a
// viewer window that answers the application's help commands (HELP_FINDER, HELP_KEY,
// HELP_CONTEXT, HELP_QUIT), since Windows no longer ships a WinHelp viewer.
//
// Help file format, one directive per line starting with "@", text lines in between:
//   KAPTOR32 HELP 1                 first line, the signature
//   @contents <title>               the contents page; its text follows
//   @topic <number> <title>         a topic; its text follows
//   @keywords <word>;<word>=<reading>;...
//                                   index words of the topic above (may repeat); a word not
//                                   written in kana carries its reading in kana after "="
// Lines starting with "#" are comments. A file without the signature, without a contents
// page, with a topic number that is no number or that appears twice is damaged.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/win/Forms.h"
#include "framework/win/StdCtrls.h"

namespace kaptor {

struct THelpKeyword {
    std::string Word;
    std::string Reading;  // the word itself when the file gives none
    bool operator==(const THelpKeyword&) const = default;
};

struct THelpTopic {
    int Context = 0;  // 0 for the contents page
    std::string Title;
    std::vector<THelpKeyword> Keywords;
    std::string Text;  // lines joined with CR LF
};

struct THelpFile {
    THelpTopic Contents;
    std::vector<THelpTopic> Topics;
    const THelpTopic* Find(int context) const;
    // Every keyword with the topic it leads to, in the order of their readings.
    std::vector<std::pair<THelpKeyword, const THelpTopic*>> Index() const;
};

// Parses the file's bytes; raises Exception naming fileName when the file is damaged.
THelpFile ParseHelpFile(const std::string& bytes, const std::string& fileName);
// Reads and parses; a file that cannot be read raises Exception naming it.
THelpFile LoadHelpFile(const std::string& fileName);

// The topic's text: a read-only, multi-line edit, so it can be selected and copied. It
// shows the text as the viewer wrapped it and never wraps by itself.
class THelpText : public TEdit {
public:
    using TEdit::TEdit;
    // How many half-width characters a line holds.
    int Columns();

protected:
    void CreateParamsFor(CreateParams& params) override;
};

// The viewer window: a list on the left (contents or keyword index), the chosen topic's text
// on the right, a keyword box above the list.
class THelpViewer : public TForm {
public:
    explicit THelpViewer(TComponent* owner);
    ~THelpViewer() override;

    TButton *ContentsBtn, *IndexBtn;
    TEdit* KeywordEdit;
    TListBox* List;
    THelpText* Text;

    void Open(THelpFile file);
    void ShowContents();
    void ShowIndex(const std::string& keyword);
    bool ShowTopic(int context);
    const THelpTopic* Current() const { return current_; }
    bool IndexMode() const { return indexMode_; }

private:
    void ListClick();
    void KeywordChange();
    void Display(const THelpTopic* topic);

    THelpFile file_;
    const THelpTopic* current_ = nullptr;
    bool indexMode_ = false;
    std::vector<std::pair<THelpKeyword, const THelpTopic*>> index_;
};

// The viewer, once a help command has opened it; null before and after it is destroyed.
extern THelpViewer* HelpViewer;

// The application's help command handler (Application->OnHelp). A file that is missing or
// damaged, or a topic the file lacks, is reported in a message box; the program goes on.
bool HelpViewerCommand(const std::string& file, UINT command, ULONG_PTR data);

}  // namespace kaptor

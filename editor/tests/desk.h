// A desk without an editor, for testing one panel at a time: the document,
// the command table and the headless toolkit of the test screen; the
// services only note what they were asked.
#pragma once

#include <string>
#include <vector>

#include "editor/panel.h"
#include "widgets/tests/screen.h"

namespace edtest {

class FakeDesk : public editor::Desk {
public:
    explicit FakeDesk(testscreen::Screen& s, int W = 80, int H = 60) : Desk(s.host, s.display) {
        layout = editor::Layout::For(W, H);
    }

    std::vector<std::string> messages;         // "title: text" of each popup
    std::vector<mesh::chunkptr> revealed;      // each chunk asked to be revealed
    std::vector<std::string> hints;            // each model name hinted
    std::vector<int64_t> shown;                // each offset shown in the data view

    bool Execute(const std::string& name) override {
        editor::Command* c = FindCommand(name);
        if (!c || !c->Enabled()) return false;
        c->run();
        return true;
    }
    void Message(const std::string& title, const std::string& text) override { messages.push_back(title + ": " + text); }
    int Ask(const std::string& title, const std::string& text) override {
        messages.push_back(title + ": " + text);
        return 1;
    }
    int Choose(const std::string& title, const std::string& text, const std::vector<std::string>& choices) override {
        messages.push_back(title + ": " + text);
        return static_cast<int>(choices.size()) - 1;
    }
    void FlushInput() override {}
    bool Reveal(const mesh::chunkptr& c) override {
        revealed.push_back(c);
        doc.selchunk = c;
        return true;
    }
    void ShowInDataView(int64_t offset) override { shown.push_back(offset); }
    void HintModel(const std::string& name) override { hints.push_back(name); }
};

}  // namespace edtest

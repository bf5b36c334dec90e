#pragma once
#include "platform/Dialogs.h"

#include <deque>
#include <functional>
#include <vector>

struct ShownMessage {
    Text text;
    int style;
    Text title;
};

class FakeDialogs : public Dialogs {
public:
    std::vector<ShownMessage> shown;
    std::deque<int> answers;                  // popped per box; Ok/No when empty
    std::function<void()> whileOpen;          // runs inside the box, before it returns

    int MsgBox(const Text& text, int style, const Text& title) override
    {
        shown.push_back({text, style, title});
        if (whileOpen) whileOpen();
        if (answers.empty()) return (style & MsgBoxStyle::YesNo) ? MsgBoxResult::No : MsgBoxResult::Ok;
        int answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

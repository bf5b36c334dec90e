#include "platform/LoggedDialogs.h"

int LoggedDialogs::MsgBox(const Text& text, int style, const Text& title)
{
    log_.Write(u"Message \"" + title + u"\" (style " + DecimalText(style) + u"): " + text);
    const int answer = shown_.MsgBox(text, style, title);
    log_.Write(u"Answer " + DecimalText(answer));
    return answer;
}

#include "UiRecorder.h"

namespace {

struct State
{
    QList<UiRecorder::Call> calls;
    QList<Ui::Answer> answers;
    std::function<bool(Ui::Dialog)> dialogHandler;
};

State& state()
{
    static State s;
    return s;
}

void record(UiRecorder::Kind kind, const QString& text = {}, const QString& title = {},
            Ui::Icon icon = Ui::Icon::None, int value = 0)
{
    state().calls.append(UiRecorder::Call{kind, text, title, icon, value});
}

} // namespace

namespace UiRecorder {

void install()
{
    state() = State{};
    Ui::Hooks& h = Ui::hooks();
    h.messageBox = [](const QString& text, const QString& title, Ui::Icon icon,
                      Ui::Buttons buttons) {
        record(Kind::MessageBox, text, title, icon, static_cast<int>(buttons));
        return state().answers.isEmpty() ? Ui::Answer::Ok : state().answers.takeFirst();
    };
    h.beep = [] { record(Kind::Beep); };
    h.showDialog = [](Ui::Dialog dialog) {
        record(Kind::Dialog, {}, {}, Ui::Icon::None, static_cast<int>(dialog));
        return state().dialogHandler ? state().dialogHandler(dialog) : false;
    };
    h.showHelp = [](const QString& file, int context) {
        record(Kind::Help, file, {}, Ui::Icon::None, context);
    };
    h.setBusy = [](bool busy) { record(Kind::Busy, {}, {}, Ui::Icon::None, busy ? 1 : 0); };
    h.endProgram = [](int exitCode) {
        record(Kind::End, {}, {}, Ui::Icon::None, exitCode);
        throw ProgramEnded{exitCode};
    };
}

QList<Call>& calls()
{
    return state().calls;
}

QList<Call> callsOf(Kind kind)
{
    QList<Call> found;
    for (const Call& call : state().calls) {
        if (call.kind == kind)
            found.append(call);
    }
    return found;
}

int count(Kind kind)
{
    return static_cast<int>(callsOf(kind).size());
}

void queueAnswer(Ui::Answer answer)
{
    state().answers.append(answer);
}

void setDialogHandler(std::function<bool(Ui::Dialog)> handler)
{
    state().dialogHandler = std::move(handler);
}

bool endsProgram(const std::function<void()>& fn)
{
    try {
        fn();
    } catch (const ProgramEnded&) {
        return true;
    }
    return false;
}

} // namespace UiRecorder

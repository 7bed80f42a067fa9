#include "UiRecorder.h"

namespace {

struct State
{
    QList<UiRecorder::Call> calls;
    QList<UiServices::Answer> answers;
    std::function<bool(UiServices::Dialog)> dialogHandler;
    std::function<void(const UiRecorder::Call&)> watcher;
};

State& state()
{
    static State s;
    return s;
}

void record(UiRecorder::Kind kind, const QString& text = {}, const QString& title = {},
            UiServices::Icon icon = UiServices::Icon::None, int value = 0)
{
    state().calls.append(UiRecorder::Call{kind, text, title, icon, value});
    if (state().watcher)
        state().watcher(state().calls.last());
}

} // namespace

namespace UiRecorder {

void install()
{
    state() = State{};
    UiServices::Hooks& h = UiServices::hooks();
    h.messageBox = [](const QString& text, const QString& title, UiServices::Icon icon,
                      UiServices::Buttons buttons) {
        record(Kind::MessageBox, text, title, icon, static_cast<int>(buttons));
        return state().answers.isEmpty() ? UiServices::Answer::Ok : state().answers.takeFirst();
    };
    h.beep = [] { record(Kind::Beep); };
    h.showDialog = [](UiServices::Dialog dialog) {
        record(Kind::Dialog, {}, {}, UiServices::Icon::None, static_cast<int>(dialog));
        return state().dialogHandler ? state().dialogHandler(dialog) : false;
    };
    h.showHelp = [](const QString& file, int context) {
        record(Kind::Help, file, {}, UiServices::Icon::None, context);
    };
    h.setBusy = [](bool busy) { record(Kind::Busy, {}, {}, UiServices::Icon::None, busy ? 1 : 0); };
    h.endProgram = [](int exitCode) {
        record(Kind::End, {}, {}, UiServices::Icon::None, exitCode);
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

void queueAnswer(UiServices::Answer answer)
{
    state().answers.append(answer);
}

void setDialogHandler(std::function<bool(UiServices::Dialog)> handler)
{
    state().dialogHandler = std::move(handler);
}

void setWatcher(std::function<void(const Call&)> watcher)
{
    state().watcher = std::move(watcher);
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

#include "app/steprunner.h"

namespace dotreel {

std::string stepFailureText(const std::string& stepName, const std::string& description) {
    return stepName + "に失敗しました" + "\r\n" + description;
}

bool StepRunner::askRetry(const PlatformError& error) {
    const Answer answer =
        dialogs_.stepFailed(title_, stepFailureText(state_.strProcName, error.description()));
    state_.strMsgAns = std::to_string(static_cast<int>(answer));
    return answer == Answer::Retry;
}

}  // namespace dotreel

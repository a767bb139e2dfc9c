// How a stage of a run reports that it stopped the run.
#pragma once

#include <optional>
#include <string>

namespace scantelk {

// One line for standard error (without its line feed) and the exit status it ends the run with.
struct StageError {
    std::string message;
    int exit_status = 1;
};

// Empty when the stage succeeded.
using StageResult = std::optional<StageError>;

}  // namespace scantelk

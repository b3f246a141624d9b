#pragma once

#include <array>
#include <stdexcept>
#include <string>
#include <vector>

#include "batch/batch.h"
#include "batch/scripted_io.h"

namespace quorvel::testing {

// Runs whole batches through the real procedures, answering every prompt.
class Session {
  public:
    Session() { Command1_Click(state); }
    Session(const Session&) = delete;  // the batches refer to this session's own members
    Session& operator=(const Session&) = delete;

    // Dispatch with the count accepted at once, then the batch's answers.
    void Run(int type, int count, std::initializer_list<std::string> answers) {
        prompt.Answer({std::to_string(type), std::to_string(count), ""});
        prompt.Answer(answers);
        batches.Command2_click();
    }

    // `points` holds name, first and second value per point.
    void Forward(const std::vector<std::array<std::string, 3>>& points, const std::string& lo) {
        Batch(1, points, {lo});
    }
    void Inverse(const std::vector<std::array<std::string, 3>>& points, const std::string& lo) {
        Batch(2, points, {lo});
    }
    void Zone(const std::vector<std::array<std::string, 3>>& points, const std::string& lo,
              const std::string& ls) {
        Batch(3, points, {lo, "", ls, ""});
    }

    BatchState state;
    testing::ScriptedPrompt prompt;
    testing::RecordingPanel panel;
    Batches batches{state, prompt, panel};

  private:
    void Batch(int type, const std::vector<std::array<std::string, 3>>& points,
               std::initializer_list<std::string> meridians) {
        prompt.Answer({std::to_string(type), std::to_string(points.size()), ""});
        for (const auto& p : points) prompt.Answer({p[0], "", p[1], "", p[2], ""});
        prompt.Answer(meridians);
        for (std::size_t i = 0; i < points.size(); ++i) prompt.Answer({""});  // pauses
        batches.Command2_click();
        if (prompt.Unanswered() != 0) throw std::logic_error("batch asked fewer prompts");
    }
};

}  // namespace quorvel::testing

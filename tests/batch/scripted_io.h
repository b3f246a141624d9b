#pragma once

#include <deque>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "batch/user_io.h"

namespace quorvel::testing {

// An answer that cancels its prompt.
inline const std::string kCancel = "<Cancel>";

// Answers prompts from a script and records what was asked and which errors were shown.
class ScriptedPrompt : public Prompt {
  public:
    struct Asked {
        std::string message;
        std::string title;
        bool operator==(const Asked&) const = default;
    };

    explicit ScriptedPrompt(std::deque<std::string> answers = {}) : answers_(std::move(answers)) {}

    void Answer(std::initializer_list<std::string> answers) {
        answers_.insert(answers_.end(), answers.begin(), answers.end());
    }

    std::optional<std::string> Ask(std::string_view message, std::string_view title,
                                   std::string_view /*defaultText*/) override {
        asked.push_back({std::string(message), std::string(title)});
        if (answers_.empty()) throw std::logic_error("unexpected prompt: " + std::string(message));
        std::string a = answers_.front();
        answers_.pop_front();
        if (a == kCancel) return std::nullopt;
        return a;
    }

    struct Shown {
        std::string message;
        std::size_t afterPrompts;  // how many prompts had been asked before it
        bool operator==(const Shown&) const = default;
    };
    void ShowError(std::string_view message) override {
        errors.push_back({std::string(message), asked.size()});
    }

    std::size_t Unanswered() const { return answers_.size(); }

    std::vector<Asked> asked;
    std::vector<Shown> errors;

  private:
    std::deque<std::string> answers_;
};

// Records every text a box is given, in order, and what each box shows now.
class RecordingPanel : public Panel {
  public:
    struct Change {
        TextBox box;
        std::string text;
        bool operator==(const Change&) const = default;
    };

    void SetText(TextBox box, std::string_view text) override {
        changes.push_back({box, std::string(text)});
        shown[box] = std::string(text);
    }
    std::string Text(TextBox box) const override {
        auto it = shown.find(box);
        return it == shown.end() ? std::string() : it->second;
    }

    std::vector<std::string> History(TextBox box) const {
        std::vector<std::string> out;
        for (const Change& c : changes) {
            if (c.box == box) out.push_back(c.text);
        }
        return out;
    }

    std::vector<Change> changes;
    std::map<TextBox, std::string> shown;
};

}  // namespace quorvel::testing

#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "batch/batch_state.h"
#include "batch/user_io.h"

namespace quorvel {

// The texts of one confirmed value.
struct EntryTexts {
    std::string entry;
    std::string confirm;
    std::string reentry;
    std::string title = {};  // of the entry prompt only
};

// Asks a value, shows it, and asks for confirmation until the answer is anything but a number
// equal to 0; then the value is accepted. `store` takes every typed text (it may throw) and
// returns what `box` shows for it.
void ConfirmedEntry(Prompt& prompt, Panel& panel, TextBox box, const EntryTexts& texts,
                    const std::function<std::string(std::string)>& store);

// One typed value of a point: its prompts around the point number, and where it shows.
struct PointValue {
    TextBox box;
    std::string_view before, after;  // entry prompt: before + i + after
    std::string_view what;           // named in the confirmation prompt
    std::string_view reentry;
    std::string_view pattern;
};

// The batch procedures and the dispatch. They work on the window's state and talk to the user
// only through the prompt and the panel. Errors are thrown as quorvel::Error and name the value
// that failed; the caller reports them and the program goes on.
class Batches {
  public:
    Batches(BatchState& state, Prompt& prompt, Panel& panel)
        : state_(state), prompt_(prompt), panel_(panel) {}

    // The compute button: asks the type and the count, then runs the batch of that type.
    void Command2_click();

    void Change1();  // forward: L, B -> X, Y
    void Change2();  // inverse: X, Y -> L, B
    void Change3();  // zone: X1, Y1 on Lo -> X2, Y2 on Ls

  private:
    // Fails before any prompt when the batch cannot run; returns the point count.
    int Begin() const;
    void Pause();
    // Asks name and two values of every point; the accepted texts are copied to the store.
    void InputPass(int n, TextBox nameBox, const PointValue& a, const PointValue& b,
                   std::vector<ValueCell>& workA, std::vector<ValueCell>& workB,
                   std::vector<ValueCell>& storeA, std::vector<ValueCell>& storeB);
    // Forms Y = false easting + s·|y| in the store and shows it.
    void ShowFinalEasting(int i, int sign, TextBox box);

    BatchState& state_;
    Prompt& prompt_;
    Panel& panel_;
};

}  // namespace quorvel

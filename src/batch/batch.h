#pragma once

#include <array>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "batch/batch_state.h"
#include "batch/user_io.h"
#include "core/classic_series.h"

namespace quorvel {

// The texts of one confirmed value.
struct EntryTexts {
    std::string entry;
    std::string confirm;
    std::string reentry;
    std::string title = {};  // of the entry prompt only
};

// Thrown when the user cancels a prompt of a batch: the batch is left at once.
struct BatchAbandoned {};

// Says why an accepted value cannot be computed with, or nothing when it can.
using ValueCheck = std::function<std::optional<std::string>()>;

// Asks a value, shows it, and asks for confirmation until the answer is anything but a number
// equal to 0; then the value is accepted, unless `check` finds it unusable: then the error box
// says why and the value is asked again as if it had been refused. `store` takes every typed
// text (it may throw) and returns what `box` shows for it. Cancel at any prompt throws
// BatchAbandoned.
void ConfirmedEntry(Prompt& prompt, Panel& panel, TextBox box, const EntryTexts& texts,
                    const std::function<std::string(std::string)>& store,
                    const ValueCheck& check = {});

// Where a typed value makes sense to the computations.
enum class Domain {
    Angle,     // any number: a longitude or a central meridian
    Latitude,  // |B| <= 90°
    Northing,  // |X| <= 10,002,000 m, about the pole's distance from the equator
    Easting,   // |Y - 500000| < 1,000,000 m
};

// One typed value of a point: its prompts (messages, translated where shown), and where it
// shows.
struct PointValue {
    TextBox box;
    const char* entry;  // entry prompt, {0} the point number
    const char* what;   // the confirmation prompt's question
    const char* reentry;
    std::string_view pattern;
    const char* name;  // named in error messages, e.g. "大地纬度 B"
    Domain domain;
};

// The panel as a batch writes it, remembering what each box showed before the batch first
// changed it, so that an abandoned batch can put it back.
class JournalPanel : public Panel {
  public:
    explicit JournalPanel(Panel& panel) : panel_(panel) {}
    void SetText(TextBox box, std::string_view text) override;
    std::string Text(TextBox box) const override { return panel_.Text(box); }
    void Forget() { before_.clear(); }
    void Restore();

  private:
    Panel& panel_;
    std::map<TextBox, std::string> before_;
};

// The batch procedures and the dispatch. They work on the window's state and talk to the user
// only through the prompt and the panel. A value that cannot be computed with is refused when it
// is confirmed; the remaining errors are thrown as quorvel::Error and name the value that
// failed; the caller reports them and the program goes on. Cancel at any prompt leaves the batch
// and puts the state and the boxes back as they were before the compute button was clicked.
class Batches {
  public:
    Batches(BatchState& state, Prompt& prompt, Panel& panel)
        : state_(state), prompt_(prompt), panel_(panel) {}

    // The compute button: asks the type and the count, then runs the batch of that type.
    void Command2_click();

    // The procedures throw BatchAbandoned on Cancel; Command2_click catches it.

    void ForwardPass();     // type 1, forward: L, B -> X, Y
    void InversePass();     // type 2, inverse: X, Y -> L, B
    void ZoneChangePass();  // type 3, zone change: X1, Y1 on Lo -> X2, Y2 on Ls

  private:
    // Fails before any prompt when the batch cannot run; returns the point count.
    int Begin() const;
    void RunCommand2();
    // Asks one prompt; Cancel abandons the batch.
    std::string Ask(std::string_view message, std::string_view title = {});
    void Pause();
    // Why the points cannot be computed with a central meridian (as typed, and in degrees), or
    // nothing when they can.
    using MeridianCheck =
        std::function<std::optional<std::string>(const ValueCell& meridian, double degrees)>;
    // Asks the unconfirmed central meridian of a forward or inverse batch until it reads as a
    // number and `check` finds every point computable with it (within 45° for a forward batch,
    // and within the limits of the projection); returns it in degrees.
    // Lo and Ls of the zone change, each checked against every point when typed; in degrees.
    std::pair<double, double> AskZoneMeridians(int n, const std::vector<ValueCell>& workX1,
                                               const std::vector<ValueCell>& workY1);
    double AskCentralMeridian(TextBox box,
                              const std::function<std::string(const ValueCell&)>& shown,
                              const MeridianCheck& check);
    // Asks name and two values of every point; the accepted texts are copied to the store.
    void InputPass(int n, TextBox nameBox, const PointValue& a, const PointValue& b,
                   std::vector<ValueCell>& workA, std::vector<ValueCell>& workB,
                   std::vector<ValueCell>& storeA, std::vector<ValueCell>& storeB);
    // Keeps point i's plane result once it is a number: X and |y| in the store, the side of the
    // meridian in sign[i − 1].
    void StorePlane(int i, const PlanePoint& p, std::vector<int>& sign);
    // Shows each point of a forward or zone batch in turn, after a pause: the two typed values
    // (`boxes` 0 and 1, under `typedPattern`), X, and Y = false easting + s·|y|, formed in the
    // store as it is shown (`boxes` 2 and 3).
    void ShowPlaneResults(const std::vector<ValueCell>& typedFirst,
                          const std::vector<ValueCell>& typedSecond, const std::vector<int>& sign,
                          const std::array<TextBox, 4>& boxes, std::string_view typedPattern);

    BatchState& state_;
    Prompt& prompt_;
    JournalPanel panel_;
};

}  // namespace quorvel

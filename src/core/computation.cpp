#include "core/computation.h"

namespace quorvel {

std::string_view ComputationName(Computation computation) {
    switch (computation) {
        case Computation::Forward:
            return "大地正算";
        case Computation::Inverse:
            return "大地反算";
        case Computation::Zone:
            return "座标换带";
    }
    return "";
}

}  // namespace quorvel

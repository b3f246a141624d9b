#include "core/computation.h"

#include "core/messages.h"

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

std::string ComputationWord(Computation computation) {
    switch (computation) {
        case Computation::Forward:
            return Tr("forward computation");
        case Computation::Inverse:
            return Tr("inverse computation");
        case Computation::Zone:
            return Tr("zone change");
    }
    return {};
}

}  // namespace quorvel

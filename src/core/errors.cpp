#include "core/errors.h"

#include "core/messages.h"

namespace quorvel {

std::string ErrorName(ErrorKind kind) {
    switch (kind) {
        case ErrorKind::TypeMismatch:
            return Tr("type mismatch");
        case ErrorKind::Overflow:
            return Tr("overflow");
        case ErrorKind::DivisionByZero:
            return Tr("division by zero");
        case ErrorKind::InvalidCount:
            return Tr("invalid point count");
        case ErrorKind::InvalidParameter:
            return Tr("invalid parameter");
        case ErrorKind::OutOfDomain:
            return Tr("outside the domain");
    }
    return Tr("error");
}

Error::Error(ErrorKind kind, std::string detail)
    : std::runtime_error(Fill(Tr("{0}: {1}"), {ErrorName(kind), detail})),
      kind_(kind),
      detail_(std::move(detail)) {}

void RethrowWithContext(const Error& e, std::string_view what) {
    std::string detail = Fill(Tr("{0}: {1}"), {what, e.detail()});
    switch (e.kind()) {
        case ErrorKind::TypeMismatch:
            throw TypeMismatchError(std::move(detail));
        case ErrorKind::Overflow:
            throw OverflowError(std::move(detail));
        case ErrorKind::DivisionByZero:
            throw DivisionByZeroError(std::move(detail));
        case ErrorKind::InvalidCount:
            throw InvalidCountError(std::move(detail));
        case ErrorKind::InvalidParameter:
            throw InvalidParameterError(std::move(detail));
        case ErrorKind::OutOfDomain:
            throw OutOfDomainError(std::move(detail));
    }
    throw Error(e.kind(), std::move(detail));
}

}  // namespace quorvel

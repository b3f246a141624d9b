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
        case ErrorKind::InsufficientPoints:
            return Tr("too few points");
        case ErrorKind::WeakGeometry:
            return Tr("weak geometry");
        case ErrorKind::DuplicateName:
            return Tr("duplicate point name");
        case ErrorKind::PointMismatch:
            return Tr("common point mismatch");
        case ErrorKind::ParameterFile:
            return Tr("parameter file error");
    }
    return Tr("error");
}

Error::Error(ErrorKind kind, std::string detail)
    : std::runtime_error(Fill(Tr("{0}: {1}"), {ErrorName(kind), detail})),
      kind_(kind),
      detail_(std::move(detail)) {}

std::string CannotRead(std::string_view what, std::string_view why) {
    return Fill(Tr("cannot read {0}: {1}"), {what, why});
}

std::string CannotWrite(std::string_view what, std::string_view why) {
    return Fill(Tr("cannot write {0}: {1}"), {what, why});
}

std::string ItIsAFolder() {
    return Tr("it is a folder");
}

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
        case ErrorKind::InsufficientPoints:
            throw InsufficientPointsError(std::move(detail));
        case ErrorKind::WeakGeometry:
            throw WeakGeometryError(std::move(detail));
        case ErrorKind::DuplicateName:
            throw DuplicateNameError(std::move(detail));
        case ErrorKind::PointMismatch:
            throw PointMismatchError(std::move(detail));
        case ErrorKind::ParameterFile:
            throw ParameterFileError(std::move(detail));
    }
    throw Error(e.kind(), std::move(detail));
}

}  // namespace quorvel

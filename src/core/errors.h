#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace quorvel {

// The errors a user can run into, named as the program names them to the user.
enum class ErrorKind {
    TypeMismatch,
    Overflow,
    DivisionByZero,
    InvalidCount,
    InvalidParameter,
    OutOfDomain,
    InsufficientPoints,
    WeakGeometry,
    DuplicateName,
    PointMismatch,
    ParameterFile,
};

// The kind's name in the language of the messages: "类型不匹配" in Chinese.
std::string ErrorName(ErrorKind kind);

class Error : public std::runtime_error {
  public:
    // `detail` says what failed, in the program's language; what() is the name, a colon, and it.
    Error(ErrorKind kind, std::string detail);
    ErrorKind kind() const noexcept { return kind_; }
    const std::string& detail() const noexcept { return detail_; }

  private:
    ErrorKind kind_;
    std::string detail_;
};

class TypeMismatchError : public Error {
  public:
    explicit TypeMismatchError(std::string detail)
        : Error(ErrorKind::TypeMismatch, std::move(detail)) {}
};

class OverflowError : public Error {
  public:
    explicit OverflowError(std::string detail) : Error(ErrorKind::Overflow, std::move(detail)) {}
};

class DivisionByZeroError : public Error {
  public:
    explicit DivisionByZeroError(std::string detail)
        : Error(ErrorKind::DivisionByZero, std::move(detail)) {}
};

// A negative point count: no batch can hold it.
class InvalidCountError : public Error {
  public:
    explicit InvalidCountError(std::string detail)
        : Error(ErrorKind::InvalidCount, std::move(detail)) {}
};

// A setting of the projection that makes no sense: an unknown or implausible ellipsoid, a
// central scale or false easting out of range, a method that does not serve the ellipsoid.
class InvalidParameterError : public Error {
  public:
    explicit InvalidParameterError(std::string detail)
        : Error(ErrorKind::InvalidParameter, std::move(detail)) {}
};

// A point outside the domain where a computation gives a trustworthy result: a latitude beyond
// a pole, a point too far from the central meridian, a zone number that no zone has.
class OutOfDomainError : public Error {
  public:
    explicit OutOfDomainError(std::string detail)
        : Error(ErrorKind::OutOfDomain, std::move(detail)) {}
};

// Fewer common points than a transformation model needs.
class InsufficientPointsError : public Error {
  public:
    explicit InsufficientPointsError(std::string detail)
        : Error(ErrorKind::InsufficientPoints, std::move(detail)) {}
};

// Common points that cannot fix a model: all at one place, on one line, or a design matrix too
// ill-conditioned to solve.
class WeakGeometryError : public Error {
  public:
    explicit WeakGeometryError(std::string detail)
        : Error(ErrorKind::WeakGeometry, std::move(detail)) {}
};

// Two common points of one name.
class DuplicateNameError : public Error {
  public:
    explicit DuplicateNameError(std::string detail)
        : Error(ErrorKind::DuplicateName, std::move(detail)) {}
};

// A common point whose two sides are not one place on the Earth: the wrong zone, X and Y
// swapped, a zone number left in front of Y.
class PointMismatchError : public Error {
  public:
    explicit PointMismatchError(std::string detail)
        : Error(ErrorKind::PointMismatch, std::move(detail)) {}
};

// A parameter file that does not read: an unknown, repeated or missing key, a bad value, a model
// that does not suit its systems.
class ParameterFileError : public Error {
  public:
    explicit ParameterFileError(std::string detail)
        : Error(ErrorKind::ParameterFile, std::move(detail)) {}
};

// A read or write that failed: what failed and why, in the language of the messages; `code` is the
// errno it failed with (0 for none), from which the window says it in its own words.
class IoError : public std::runtime_error {
  public:
    explicit IoError(const std::string& what, int code = 0)
        : std::runtime_error(what), code_(code) {}
    int code() const noexcept { return code_; }

  private:
    int code_;
};

// The one wording of a failed read or write, in the language of the messages: "cannot read
// FILE: WHY", "cannot write FILE: WHY" (WHY as strerror says it, or the program's reason).
std::string CannotRead(std::string_view what, std::string_view why);
std::string CannotWrite(std::string_view what, std::string_view why);
// "it is a folder": why a folder named as a file cannot be read.
std::string ItIsAFolder();

// Rethrows `e` as the same kind of error with the name of what failed put before its detail,
// so that a message can say which value of which point failed.
[[noreturn]] void RethrowWithContext(const Error& e, std::string_view what);

}  // namespace quorvel

#include "core/errors.h"

namespace quorvel {

std::string_view ErrorName(ErrorKind kind) {
    switch (kind) {
        case ErrorKind::TypeMismatch:
            return "类型不匹配";
        case ErrorKind::Overflow:
            return "溢出";
        case ErrorKind::DivisionByZero:
            return "除数为零";
        case ErrorKind::InvalidCount:
            return "点数无效";
        case ErrorKind::InvalidParameter:
            return "参数无效";
        case ErrorKind::OutOfDomain:
            return "超出适用范围";
        case ErrorKind::InsufficientPoints:
            return "点数不足";
        case ErrorKind::WeakGeometry:
            return "点位图形不足";
        case ErrorKind::DuplicateName:
            return "点名重复";
        case ErrorKind::PointMismatch:
            return "重合点不符";
        case ErrorKind::ParameterFile:
            return "参数文件有误";
    }
    return "错误";
}

Error::Error(ErrorKind kind, std::string detail)
    : std::runtime_error(std::string(ErrorName(kind)) + "：" + detail),
      kind_(kind),
      detail_(std::move(detail)) {}

void RethrowWithContext(const Error& e, std::string_view context) {
    std::string detail = std::string(context) + e.detail();
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

#include "common/result.h"

namespace qm {

std::string_view errorCodeName(ErrorCode code) {
  switch (code) {
    case ErrorCode::unknown:
      return "unknown";
    case ErrorCode::invalidArgument:
      return "invalidArgument";
    case ErrorCode::notFound:
      return "notFound";
    case ErrorCode::alreadyExists:
      return "alreadyExists";
    case ErrorCode::failedPrecondition:
      return "failedPrecondition";
    case ErrorCode::permissionDenied:
      return "permissionDenied";
    case ErrorCode::unavailable:
      return "unavailable";
    case ErrorCode::cancelled:
      return "cancelled";
    case ErrorCode::deadlineExceeded:
      return "deadlineExceeded";
    case ErrorCode::dataLoss:
      return "dataLoss";
    case ErrorCode::internal:
      return "internal";
  }
  return "unknown";
}

}  // namespace qm

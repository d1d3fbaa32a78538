#include "fbclient/StatusVector.h"

namespace fbclient {

ISC_STATUS* StatusVector() {
  thread_local ISC_STATUS_ARRAY vector = {};
  return vector;
}

}  // namespace fbclient

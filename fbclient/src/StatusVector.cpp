#include "fbclient/StatusVector.h"

#include <ibase.h>

namespace fbclient {

StatusValue* StatusVector() {
  thread_local ISC_STATUS_ARRAY vector = {};
  return vector;
}

}  // namespace fbclient

#include <gtest/gtest.h>

#include "fbclient/ClientErrors.h"
#include "fbclient/Exceptions.h"

namespace fbclient {
namespace {

EIBClientError Raised(int number, const std::string& argument = {}) {
  try {
    if (argument.empty()) {
      RaiseClientError(number);
    } else {
      RaiseClientError(number, argument);
    }
  } catch (const EIBClientError& error) {
    return error;
  }
  ADD_FAILURE() << "client error " << number << " was not raised";
  return EIBClientError(0, "");
}

TEST(ClientErrors, CarryTheLibraryTextsTheirNumberAsSqlCodeAndNoGdsCode) {
  struct Case {
    int raised;  // as the code raises it
    int number;
    std::string text;
  };
  const Case cases[] = {
      {kClientLibraryNotFound, 1,
       "InterBase library gds32.dll not found in the path. Please install InterBase to use this "
       "functionality"},
      {kSpbConstantNotSupported, 88, "SPB Constant Not supported"},
      {kSpbConstantUnknown, 89, "SPB Constant Unknown"},
      {kServiceNotAttached, 90, "Cannot perform operation -- service is not attached"},
      {kServiceAttached, 91, "Cannot perform operation -- service is attached"},
      {kServerNameMissing, 92, "Server Name Missing"},
      {kQueryParametersMissing, 93, "Query Parameters missing or incorrect"},
      {kStartParametersMissing, 94, "start Parameters missing or incorrect"},
      {kUnexpectedOutput, 95, "Unexpected Output buffer value"},
      {kStartItemTooLong, 122, "start Parameter longer than 65535 bytes"},
      {kStartRequestTooLong, 123, "start Parameters longer than 65535 bytes"},
      {kBufferSizeOutOfRange, 124, "BufferSize must be between 1 and 65535"},
  };
  for (const Case& c : cases) {
    const EIBClientError error = Raised(c.raised);
    EXPECT_EQ(c.text, error.what()) << c.number;
    EXPECT_EQ(c.number, error.SQLCode());
    EXPECT_EQ(0, error.GdsCode());
  }
}

TEST(ClientErrors, RefusalsOfLongValuesNameWhatWasTooLong) {
  const EIBClientError value = Raised(kSpbValueTooLong, "password");
  EXPECT_STREQ("SPB value of password is longer than 255 bytes", value.what());
  EXPECT_EQ(120, value.SQLCode());
  const EIBClientError attach = Raised(kAttachDataTooLong, "32767");
  EXPECT_STREQ("Service name or SPB longer than 32767 bytes", attach.what());
  EXPECT_EQ(121, attach.SQLCode());
}

TEST(ClientErrors, FormatIgnoresSurplusArgumentsAndLeavesMissingOnesEmpty) {
  EXPECT_EQ("Server Name Missing", FormatClientError(92, {"surplus", 7}));
  EXPECT_EQ(" is an InterBase 6 function. Please upgrade to InterBase 6 to use this functonality",
            FormatClientError(3, {}));
  EXPECT_EQ("Service name or SPB longer than 65535 bytes", FormatClientError(121, {65535}));
  EXPECT_EQ("Client error 200", FormatClientError(200, {}));
}

TEST(ClientErrors, AreCaughtAsEveryBaseOfTheHierarchy) {
  EXPECT_THROW(RaiseClientError(kServerNameMissing), EIBError);
  EXPECT_THROW(RaiseClientError(kServerNameMissing), EDatabaseError);
  EXPECT_THROW(RaiseClientError(kServerNameMissing), Exception);
  EXPECT_THROW(RaiseClientError(kServerNameMissing), std::runtime_error);
}

TEST(ServiceExceptions, EibErrorConstructorsKeepTheirCodes) {
  const EIBError withoutGds(-902, "text");
  EXPECT_EQ(-902, withoutGds.SQLCode());
  EXPECT_EQ(0, withoutGds.GdsCode());
  const EIBInterBaseError withGds(-902, 335544721, "network");
  EXPECT_EQ(-902, withGds.SQLCode());
  EXPECT_EQ(335544721, withGds.GdsCode());
  EXPECT_EQ("network", withGds.Message());
}

TEST(ServiceExceptions, OsAndConvertErrorsCarryTheirFixedTexts) {
  const EOSError os(2, "libfbclient.so.2: undefined symbol: isc_blob_info");
  EXPECT_STREQ("System Error.  Code: 2.\r\nlibfbclient.so.2: undefined symbol: isc_blob_info", os.what());
  EXPECT_EQ(2, os.ErrorCode());
  const Exception& base = os;
  EXPECT_EQ(os.what(), base.Message());
}

}  // namespace
}  // namespace fbclient

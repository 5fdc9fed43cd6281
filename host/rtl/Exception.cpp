#include "rtl/Exception.h"

Exception::Exception(UnicodeString Msg) : FMessage(std::move(Msg)), FWhat(UTF8Encode(FMessage)) {}

// The host's exception hierarchy. Every failure that reaches the IDE is one of these, with a
// message that names what failed.
#pragma once

#include "rtl/UnicodeString.h"

#include <exception>
#include <string>

class Exception : public std::exception {
public:
  explicit Exception(UnicodeString Msg);
  const UnicodeString& Message() const noexcept { return FMessage; }
  const char* what() const noexcept override { return FWhat.c_str(); }

private:
  UnicodeString FMessage;
  std::string FWhat; // UTF-8 copy of the message for std::exception users
};

#define HOST_EXCEPTION_CLASS(Name, Base)                                                           \
  class Name : public Base {                                                                       \
  public:                                                                                          \
    using Base::Base;                                                                              \
  }

HOST_EXCEPTION_CLASS(EAbort, Exception);
HOST_EXCEPTION_CLASS(EConvertError, Exception);
HOST_EXCEPTION_CLASS(EListError, Exception);
HOST_EXCEPTION_CLASS(EStringListError, EListError);
HOST_EXCEPTION_CLASS(EComponentError, Exception);
HOST_EXCEPTION_CLASS(EInvalidOperation, Exception);
HOST_EXCEPTION_CLASS(EInvalidCast, Exception);
HOST_EXCEPTION_CLASS(EPropertyError, Exception);
HOST_EXCEPTION_CLASS(EFilerError, Exception);
HOST_EXCEPTION_CLASS(EReadError, EFilerError);
HOST_EXCEPTION_CLASS(EResNotFound, Exception);
HOST_EXCEPTION_CLASS(EOSError, Exception);
HOST_EXCEPTION_CLASS(ERegistryException, Exception);

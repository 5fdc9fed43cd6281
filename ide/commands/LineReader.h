// Where the interpreter's lines come from: a terminal with line editing, a script file, a
// stream.
#pragma once

#include <iosfwd>
#include <string>

class TLineReader {
public:
  virtual ~TLineReader() = default;
  // The next line without its line end; false at the end of input.
  virtual bool ReadLine(std::string& Line, const std::string& Prompt) = 0;
};

class TStreamLineReader : public TLineReader {
public:
  explicit TStreamLineReader(std::istream& In) : FIn(In) {}
  bool ReadLine(std::string& Line, const std::string& Prompt) override;

private:
  std::istream& FIn;
};

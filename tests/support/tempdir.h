// A fresh temporary directory that the test works in; removed afterwards.
#pragma once
#include <string>

class TempDir {
public:
    TempDir();   // creates it and changes into it
    ~TempDir();  // changes back and removes it with its contents
    const std::string& path() const { return dir; }
    std::string file(const std::string& name) const { return dir + "/" + name; }

private:
    std::string dir;
    std::string previous;
};

// Whole file as a string ("" when missing).
std::string readTextFile(const std::string& path);

#pragma once

#include <string>

// Where the index server that takes digest updates lives: the shell's
// updateIndexUrl, shared by all loader threads. Both calls may come from
// any thread; the implementation guards the value with its own lock
// (TMainForm's getUpdateIndexUrl/setUpdateIndexUrl do).
class UpdateIndexUrlStore
{
public:
    virtual ~UpdateIndexUrlStore() = default;
    virtual std::string getUpdateIndexUrl() const = 0;
    virtual void setUpdateIndexUrl(std::string url) = 0;
};

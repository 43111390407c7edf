#pragma once
// What listens for the announcements of the servers on one database
// (Database::Listen): it runs on a thread of its own until it is destroyed.
class ChangeListener {
public:
    virtual ~ChangeListener() = default;
};

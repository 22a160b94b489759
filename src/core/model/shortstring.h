#pragma once
/// Bounded strings and arrays with the index ranges of the simulation record.
///
/// The record keeps its texts at fixed widths (a grid stem holds at most 9
/// characters, a key 3, ...) and its arrays at fixed index ranges (years
/// -1..999, files 1..50).  `ShortString<N>` cuts whatever is assigned to it
/// to N characters, so no loader or editor can store a longer text;
/// `IndexedArray<T, Lo, Hi>` keeps the record's own index origin and refuses
/// an index outside it with std::out_of_range (a programming error, never a
/// consequence of file contents: readers check indices first).

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vdln {

/// A text of at most N characters; longer texts are cut on assignment.
template <std::size_t N>
class ShortString {
public:
    static constexpr std::size_t kCapacity = N;

    ShortString() = default;
    ShortString(std::string_view s) : m_s(s.substr(0, N)) {}                 // NOLINT: implicit on purpose
    ShortString(const char* s) : ShortString(std::string_view(s)) {}         // NOLINT
    ShortString(const std::string& s) : ShortString(std::string_view(s)) {}  // NOLINT

    ShortString& operator=(std::string_view s) {
        m_s.assign(s.substr(0, N));
        return *this;
    }
    ShortString& operator=(const char* s) { return *this = std::string_view(s); }
    ShortString& operator=(const std::string& s) { return *this = std::string_view(s); }

    const std::string& str() const { return m_s; }
    const char* c_str() const { return m_s.c_str(); }
    operator const std::string&() const { return m_s; }  // NOLINT: implicit on purpose
    operator std::string_view() const { return m_s; }    // NOLINT
    bool empty() const { return m_s.empty(); }
    std::size_t size() const { return m_s.size(); }
    char operator[](std::size_t i) const { return m_s[i]; }

    friend bool operator==(const ShortString& a, const ShortString& b) { return a.m_s == b.m_s; }
    friend bool operator==(const ShortString& a, const char* b) { return a.m_s == b; }
    friend bool operator==(const ShortString& a, const std::string& b) { return a.m_s == b; }
    friend bool operator==(const ShortString& a, std::string_view b) { return a.m_s == b; }
    friend std::string operator+(const ShortString& a, std::string_view b) { return a.m_s + std::string(b); }
    friend std::string operator+(std::string_view a, const ShortString& b) { return std::string(a) + b.m_s; }
    friend std::string operator+(const char* a, const ShortString& b) { return std::string(a) + b.m_s; }
    friend std::string operator+(const ShortString& a, const char* b) { return a.m_s + b; }
    friend std::string operator+(const std::string& a, const ShortString& b) { return a + b.m_s; }
    friend std::string operator+(const ShortString& a, const std::string& b) { return a.m_s + b; }

private:
    std::string m_s;
};

/// Joins two bounded strings (of any widths) into a plain string.
template <std::size_t A, std::size_t B>
std::string operator+(const ShortString<A>& a, const ShortString<B>& b) {
    return a.str() + b.str();
}

/// An array indexed Lo..Hi (inclusive), as the record's tables are.
template <class T, int Lo, int Hi>
class IndexedArray {
public:
    static constexpr int kLow = Lo;
    static constexpr int kHigh = Hi;

    IndexedArray() : m_items(static_cast<std::size_t>(Hi - Lo + 1)) {}

    static constexpr bool inRange(int i) { return i >= Lo && i <= Hi; }
    /// Element i; throws std::out_of_range outside Lo..Hi.
    T& operator[](int i) { return m_items.at(slot(i)); }
    const T& operator[](int i) const { return m_items.at(slot(i)); }
    void fill(const T& value) {
        for (auto& v : m_items) v = value;
    }
    auto begin() { return m_items.begin(); }
    auto end() { return m_items.end(); }
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }
    friend bool operator==(const IndexedArray& a, const IndexedArray& b) { return a.m_items == b.m_items; }

private:
    static std::size_t slot(int i) {
        if (i < Lo || i > Hi)
            throw std::out_of_range("index " + std::to_string(i) + " outside " + std::to_string(Lo) + ".." +
                                    std::to_string(Hi));
        return static_cast<std::size_t>(i - Lo);
    }
    std::vector<T> m_items;
};

/// The closure/shock grid shape: rows -1..999, columns 1..4.
template <class T>
class GridArray {
public:
    static constexpr int kFirstRow = -1;
    static constexpr int kLastRow = 999;
    static constexpr int kFirstCol = 1;
    static constexpr int kLastCol = 4;

    GridArray() : m_items(static_cast<std::size_t>((kLastRow - kFirstRow + 1) * 4)) {}

    static constexpr bool inRange(int row, int col) {
        return row >= kFirstRow && row <= kLastRow && col >= kFirstCol && col <= kLastCol;
    }
    /// Cell (row, col); throws std::out_of_range outside the grid.
    T& operator()(int row, int col) { return m_items.at(slot(row, col)); }
    const T& operator()(int row, int col) const { return m_items.at(slot(row, col)); }
    friend bool operator==(const GridArray& a, const GridArray& b) { return a.m_items == b.m_items; }

private:
    static std::size_t slot(int row, int col) {
        if (!inRange(row, col))
            throw std::out_of_range("grid cell (" + std::to_string(row) + "," + std::to_string(col) +
                                    ") outside the grid");
        return static_cast<std::size_t>(row - kFirstRow) * 4 + static_cast<std::size_t>(col - kFirstCol);
    }
    std::vector<T> m_items;
};

}  // namespace vdln

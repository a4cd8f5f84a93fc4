#include "data/dbf_record_store.hpp"

#include <algorithm>
#include <utility>

#include "data/error.hpp"

namespace thq::data {

RecordStore::RecordStore(RecordCacheLimits limits) : limits_(limits) {}

void RecordStore::attach(const platform::File& file, std::string name, std::uint64_t start,
                         std::size_t length, std::size_t count) {
    detach();
    file_ = &file;
    name_ = std::move(name);
    start_ = start;
    length_ = std::max<std::size_t>(length, 1);
    count_ = count;
    blockRecords_ = std::max<std::size_t>(1, limits_.blockBytes / length_);
    maxBlocks_ = std::max<std::size_t>(2, limits_.budgetBytes / (blockRecords_ * length_));
    // A stretch no longer than a block would only duplicate the block cache.
    const std::size_t aheadBlocks = limits_.readAheadBytes / (blockRecords_ * length_);
    readAheadRecords_ = aheadBlocks > 1 ? aheadBlocks * blockRecords_ : 0;
    blockPlace_.assign((count_ + blockRecords_ - 1) / blockRecords_, kNotCached);
}

void RecordStore::detach() noexcept {
    file_ = nullptr;
    count_ = 0;
    std::vector<Block>().swap(blocks_);
    std::vector<std::uint32_t>().swap(blockPlace_);
    std::string().swap(ahead_);
    aheadFirst_ = 0;
    aheadCount_ = 0;
    lastIndex_ = static_cast<std::size_t>(-1);
    streak_ = 0;
    clock_ = 0;
}

std::size_t RecordStore::readRecords(std::size_t first, std::size_t n, std::string& into) const {
    into.resize(n * length_);
    const std::size_t got = file_->readAt(start_ + static_cast<std::uint64_t>(first) * length_,
                                          into.data(), into.size());
    const std::size_t whole = got / length_;
    into.resize(whole * length_);
    return whole;
}

void RecordStore::failMissing(std::size_t index) const {
    // The header promised more records than the file holds now: cut short by another program
    // since the table was opened, or a failing disk.
    throw Error(
        ErrorKind::DamagedTable,
        fileMessage(name_, "archivo dañado: el registro " + std::to_string(index + 1) + " de " +
                               std::to_string(count_) + " no está entero en el archivo"));
}

const RecordStore::Block& RecordStore::blockFor(std::size_t number) const {
    std::size_t place = 0;
    if (blocks_.size() < maxBlocks_) {
        place = blocks_.size();
        blocks_.emplace_back();
    } else {
        const auto oldest =
            std::min_element(blocks_.begin(), blocks_.end(),
                             [](const Block& a, const Block& b) { return a.lastUse < b.lastUse; });
        place = static_cast<std::size_t>(oldest - blocks_.begin());
        if (blockPlace_[oldest->number] == place + 1) blockPlace_[oldest->number] = kNotCached;
    }
    Block& block = blocks_[place];
    block.number = number;
    block.records = 0;
    block.lastUse = ++clock_;
    const std::size_t first = number * blockRecords_;
    block.records = readRecords(first, std::min(blockRecords_, count_ - first), block.bytes);
    blockPlace_[number] = static_cast<std::uint32_t>(place + 1);
    return block;
}

void RecordStore::fillReadAhead(std::size_t index) const {
    aheadCount_ = 0;
    const std::size_t first = index / blockRecords_ * blockRecords_;
    aheadCount_ = readRecords(first, std::min(readAheadRecords_, count_ - first), ahead_);
    aheadFirst_ = first;
}

std::string_view RecordStore::record(std::size_t index) const {
    if (file_ == nullptr || index >= count_) {
        throw Error(ErrorKind::Internal,
                    fileMessage(name_, "no hay registro " + std::to_string(index + 1)));
    }
    // Reading on from the record read last, for at least a block's worth of records, is a
    // scan (and a first read of record 0 starts one, lastIndex_ being SIZE_MAX before it).
    // Reading the same record again keeps the count.
    if (index == lastIndex_ + 1) {
        ++streak_;
    } else if (index != lastIndex_) {
        streak_ = 0;
    }
    lastIndex_ = index;
    if (index >= aheadFirst_ && index - aheadFirst_ < aheadCount_) {
        return std::string_view(ahead_).substr((index - aheadFirst_) * length_, length_);
    }
    const std::size_t number = index / blockRecords_;
    const std::size_t offset = (index - number * blockRecords_) * length_;
    const Block* block = nullptr;
    if (const std::uint32_t place = blockPlace_[number]; place != kNotCached) {
        block = &blocks_[place - 1];
        blocks_[place - 1].lastUse = ++clock_;
    } else if (streak_ >= blockRecords_ && readAheadRecords_ > 0) {
        fillReadAhead(index);
        if (index - aheadFirst_ >= aheadCount_) failMissing(index);
        return std::string_view(ahead_).substr((index - aheadFirst_) * length_, length_);
    } else {
        block = &blockFor(number);
    }
    // A short read keeps the whole records it got; the ones after them are missing.
    if (offset / length_ >= block->records) failMissing(index);
    return std::string_view(block->bytes).substr(offset, length_);
}

void RecordStore::appended(std::string_view bytes) {
    const std::size_t index = count_;
    const std::size_t number = index / blockRecords_;
    if (number >= blockPlace_.size()) {
        blockPlace_.push_back(kNotCached);
    } else if (const std::uint32_t place = blockPlace_[number]; place != kNotCached) {
        // The cached last block takes the new record, so that it stays what the file holds.
        Block& block = blocks_[place - 1];
        if (block.records == index - number * blockRecords_ && bytes.size() == length_) {
            block.bytes.append(bytes);
            ++block.records;
        } else {
            blockPlace_[number] = kNotCached;
        }
    }
    ++count_;
}

}  // namespace thq::data

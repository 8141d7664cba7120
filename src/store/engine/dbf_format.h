// Byte layout of a FoxPro table (DBF) and its memo file (FPT), shared by the
// table's reader and writer. Internal to the engine.
//
// DBF table header (little-endian):
//
// | Offset | Size | Meaning                                                        |
// |--------|------|----------------------------------------------------------------|
// | 0      | 1    | version: 0x03 plain table, 0xF5 table with an FPT memo file    |
// | 1      | 3    | date of the last update: years since 1900, month, day          |
// | 4      | 4    | number of records (deleted ones included)                      |
// | 8      | 2    | header length: this header, the field descriptors, terminator  |
// | 10     | 2    | record length, deletion byte included                          |
// | 12     | 16   | reserved (zero)                                                |
// | 28     | 1    | table flags: 0x01 structural CDX, 0x02 memo, 0x04 container    |
// | 29     | 1    | code page mark (0x03 Windows ANSI 1252, 0x00 none)             |
// | 30     | 2    | reserved (zero)                                                |
// | 32     | 32×n | one field descriptor per field, in record order                |
// | 32+32n | 1    | 0x0D: end of the field descriptors                             |
// | 33+32n | 1    | 0x00 (Visual FoxPro keeps a 263-byte backlink here instead)    |
//
// Field descriptor (32 bytes):
//
// | Offset | Size | Meaning                                                        |
// |--------|------|----------------------------------------------------------------|
// | 0      | 11   | name, upper case, padded with NUL bytes                        |
// | 11     | 1    | type: C text, N number, F float, D date, L logical, M memo     |
// | 12     | 4    | offset of the field in the record (0 when a writer leaves it)  |
// | 16     | 1    | width in bytes                                                 |
// | 17     | 1    | decimals (N and F)                                             |
// | 18     | 14   | field flags, autoincrement values, reserved (zero)             |
//
// The records follow the header, each `record length` bytes: the deletion
// byte (' ' live, '*' deleted) and then the fields as text. One 0x1A byte
// ends the file.
//
// FPT memo file (big-endian), made of blocks of `block size` bytes:
//
// | Offset | Size | Meaning                                                        |
// |--------|------|----------------------------------------------------------------|
// | 0      | 4    | next free block: where the next memo is appended               |
// | 4      | 2    | reserved                                                       |
// | 6      | 2    | block size in bytes                                            |
// | 8      | 504  | reserved (zero); the header fills the first 512 bytes         |
//
// Each memo starts at a block (the number a memo field of the record holds):
//
// | Offset | Size | Meaning                                                        |
// |--------|------|----------------------------------------------------------------|
// | 0      | 4    | memo type: 0 picture, 1 text                                   |
// | 4      | 4    | length of the memo in bytes                                    |
// | 8      | len  | the memo's bytes, then filler to the end of its last block     |
#pragma once
#include <cstddef>
#include <cstdint>

namespace store::dbf::format {

// Table header.
constexpr size_t kHdrVersion = 0;
constexpr size_t kHdrUpdated = 1;
constexpr size_t kHdrRecordCount = 4;
constexpr size_t kHdrHeaderLength = 8;
constexpr size_t kHdrRecordLength = 10;
constexpr size_t kHdrTableFlags = 28;
constexpr size_t kHdrCodePage = 29;
constexpr size_t kHeaderSize = 32;

constexpr uint8_t kVersionPlain = 0x03;
constexpr uint8_t kVersionMemo = 0xF5;
// Versions other FoxPro and dBase writers give their tables, read the same way.
constexpr uint8_t kKnownVersions[] = {0x03, 0x83, 0xF5, 0x8B, 0x30, 0x31, 0x04, 0x7B};

// Field descriptors.
constexpr size_t kFieldSize = 32;
constexpr size_t kFieldName = 0;
constexpr size_t kFieldNameSize = 11;
constexpr size_t kFieldType = 11;
constexpr size_t kFieldOffset = 12;
constexpr size_t kFieldWidth = 16;
constexpr size_t kFieldDecimals = 17;
constexpr size_t kMaxFields = 255;
constexpr size_t kMaxFieldName = 10;
constexpr char kFieldTypes[] = "CNDLMF";

constexpr unsigned char kFieldsEnd = 0x0D;
constexpr size_t kTerminatorSize = 2;  // 0x0D and one 0x00
constexpr unsigned char kEndOfFile = 0x1A;
constexpr char kLive = ' ';
constexpr char kDeleted = '*';
constexpr uint32_t kMaxRecordLength = 65535;

// Header length of a table with `fields` field descriptors.
constexpr size_t headerLength(size_t fields) { return kHeaderSize + kFieldSize * fields + kTerminatorSize; }

// Memo file header.
constexpr size_t kMemoNextBlock = 0;
constexpr size_t kMemoBlockSizeAt = 6;
constexpr size_t kMemoHeaderSize = 512;
constexpr uint16_t kMemoBlockSize = 1024;

// Memo block header.
constexpr size_t kBlockType = 0;
constexpr size_t kBlockLength = 4;
constexpr size_t kBlockHeaderSize = 8;
constexpr uint32_t kBlockPicture = 0;  // binary data
constexpr uint32_t kBlockText = 1;

}  // namespace store::dbf::format

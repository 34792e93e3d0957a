// Decorators of the file interface that pass every call through; a decorator that
// counts, slows down or fails some calls overrides only those.
#pragma once

#include <memory>
#include <utility>

#include "platform/files.h"

namespace zq::platform {

class ForwardingFile : public File {
 public:
  explicit ForwardingFile(std::unique_ptr<File> inner) : inner_(std::move(inner)) {}
  bool Read(void* b, std::size_t n, std::size_t& done, int& e) override {
    return inner_->Read(b, n, done, e);
  }
  bool Write(const void* b, std::size_t n, std::size_t& done, int& e) override {
    return inner_->Write(b, n, done, e);
  }
  bool Seek(std::int64_t o, Whence w, std::int64_t& p, int& e) override {
    return inner_->Seek(o, w, p, e);
  }
  bool Size(std::int64_t& s, int& e) override { return inner_->Size(s, e); }
  bool Truncate(int& e) override { return inner_->Truncate(e); }
  bool Flush(int& e) override { return inner_->Flush(e); }
  bool Lock(std::uint64_t o, std::uint64_t l, int& e) override { return inner_->Lock(o, l, e); }
  bool Unlock(std::uint64_t o, std::uint64_t l, int& e) override { return inner_->Unlock(o, l, e); }
  bool Close(int& e) override { return inner_->Close(e); }
  // CopyTo is not passed on: the file's own reads and writes carry the bytes, so that a
  // decorator that changes them sees a copy too. One that changes neither may pass it on.

 protected:
  File& Inner() { return *inner_; }

 private:
  std::unique_ptr<File> inner_;
};

class ForwardingFiles : public Files {
 public:
  explicit ForwardingFiles(Files& inner) : inner_(inner) {}
  std::unique_ptr<File> Open(std::string_view path, Access access, Share share,
                             Disposition disposition, int& error) override {
    auto file = inner_.Open(path, access, share, disposition, error);
    return file ? Wrap(std::move(file), path) : nullptr;
  }
  bool Rename(std::string_view a, std::string_view b, int& e) override {
    return inner_.Rename(a, b, e);
  }
  bool Remove(std::string_view p, int& e) override { return inner_.Remove(p, e); }
  bool MakeDirectory(std::string_view p, int& e) override { return inner_.MakeDirectory(p, e); }
  bool RemoveDirectory(std::string_view p, int& e) override { return inner_.RemoveDirectory(p, e); }
  bool GetAttributes(std::string_view p, std::uint32_t& a, std::int64_t& s) override {
    return inner_.GetAttributes(p, a, s);
  }
  std::unique_ptr<FindHandle> FindFirst(std::string_view p, std::uint32_t m, FindData& f,
                                        int& e) override {
    return inner_.FindFirst(p, m, f, e);
  }
  std::string CurrentDirectory() override { return inner_.CurrentDirectory(); }
  bool SetCurrentDirectory(std::string_view p, int& e) override {
    return inner_.SetCurrentDirectory(p, e);
  }
  bool SameObject(std::string_view a, std::string_view b) override {
    return inner_.SameObject(a, b);
  }
  void HoldListings(bool hold) override { inner_.HoldListings(hold); }

 protected:
  // Every file this decorator opens passes through here.
  virtual std::unique_ptr<File> Wrap(std::unique_ptr<File> file, std::string_view /*path*/) {
    return file;
  }
  Files& Inner() { return inner_; }

 private:
  Files& inner_;
};

}  // namespace zq::platform

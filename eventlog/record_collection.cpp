#include "record_collection.h"

#include <new>

#include "error_report.h"
#include "platform/winapi/com_server.h"

namespace lorvex {
namespace {

class RecordEnum final : public vantrel::com::Object<IEnumVARIANT> {
public:
    RecordEnum(const BoundReader& reader, long first, long count, long current)
        : reader_(reader), first_(first), count_(count), current_(current) {}

    STDMETHODIMP Next(ULONG wanted, VARIANT* items, ULONG* fetched) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!items) return E_POINTER;
            if (!reader_.bound()) return E_UNEXPECTED;
            ULONG done = 0;
            while (current_ < first_ + count_ && done < wanted) {
                Microsoft::WRL::ComPtr<IEventLogRecord> record;
                HRESULT hr = reader_.Read(current_, &record);
                if (FAILED(hr)) return hr;
                IDispatch* dispatch = nullptr;
                hr = record->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
                if (FAILED(hr)) return hr;
                ::VariantInit(&items[done]);
                items[done].vt = VT_DISPATCH;
                items[done].pdispVal = dispatch;
                ++current_;
                ++done;
            }
            if (fetched) *fetched = done;
            return done == wanted ? S_OK : S_FALSE;
        });
    }
    STDMETHODIMP Skip(ULONG n) override {
        const long remaining = first_ + count_ - current_;
        const long step = remaining < 0 ? 0 : (static_cast<ULONG>(remaining) < n ? remaining : static_cast<long>(n));
        current_ += step;
        return static_cast<ULONG>(step) == n ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override {
        current_ = first_;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumVARIANT** out) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!out) return E_POINTER;
            *out = new (std::nothrow) RecordEnum(reader_, first_, count_, current_);
            return *out ? S_OK : E_OUTOFMEMORY;
        });
    }

private:
    vantrel::com::ObjectCount count_object_;
    BoundReader reader_;
    long first_, count_, current_;
};

class RecordCollection final : public vantrel::com::Dual<IEventLogRecordCollection> {
public:
    RecordCollection(const BoundReader& reader, long base) : reader_(reader), base_(base) {}

    STDMETHODIMP get_Count(long* value) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!value) return E_POINTER;
            if (!reader_.bound()) return E_UNEXPECTED;
            return reader_.Count(value);
        });
    }
    STDMETHODIMP get_Item(long index, VARIANT* value) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!value) return E_POINTER;
            if (!reader_.bound()) return E_UNEXPECTED;
            Microsoft::WRL::ComPtr<IEventLogRecord> record;
            HRESULT hr = reader_.Read(base_ + index - 1, &record);
            if (FAILED(hr)) return hr;
            IDispatch* dispatch = nullptr;
            hr = record->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
            if (FAILED(hr)) return hr;
            ::VariantInit(value);
            value->vt = VT_DISPATCH;
            value->pdispVal = dispatch;
            return S_OK;
        });
    }
    STDMETHODIMP get__NewEnum(IUnknown** value) override {
        return vantrel::com::Barrier([&]() -> HRESULT {
            if (!value) return E_POINTER;
            if (!reader_.bound()) return E_UNEXPECTED;
            long first = 0, count = 0;
            HRESULT hr = reader_.Oldest(&first);
            if (SUCCEEDED(hr)) hr = reader_.Count(&count);
            if (FAILED(hr)) return hr;
            *value = new (std::nothrow) RecordEnum(reader_, first, count, first);
            return *value ? S_OK : E_OUTOFMEMORY;
        });
    }

private:
    BoundReader reader_;
    long base_;
};

}  // namespace

HRESULT CreateRecordCollection(REFCLSID clsid, const BoundReader& reader, VARIANT* result) {
    if (!reader.bound()) return E_POINTER;
    long base = 0;
    HRESULT hr = reader.Oldest(&base);
    if (FAILED(hr)) return ReportError(clsid, hr, "Error initializing collection");
    auto* collection = new (std::nothrow) RecordCollection(reader, base);
    if (!collection) return ReportError(clsid, E_OUTOFMEMORY, "Failed to allocate memory for collection");
    IDispatch* dispatch = nullptr;
    hr = collection->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
    collection->Release();
    if (FAILED(hr)) return ReportError(clsid, hr, "Error querying dispatch interface");
    ::VariantInit(result);
    result->vt = VT_DISPATCH;
    result->pdispVal = dispatch;
    return S_OK;
}

}  // namespace lorvex

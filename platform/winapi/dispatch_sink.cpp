#include "platform/winapi/dispatch_sink.h"

#include "platform/winapi/com_barrier.h"
#include "platform/winapi/oleauto.h"

namespace vantrel::com {

STDMETHODIMP DispatchSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) {
    return vantrel::com::Barrier([&]() -> HRESULT {
        auto it = handlers_.find(id);
        if (it == handlers_.end()) return S_OK;
        Handler handler = it->second;  // a handler may replace the table
        Microsoft::WRL::ComPtr<DispatchSink> self(this);
        try {
            handler(params);
        } catch (...) {
            // Handlers trap their own errors; nothing may unwind into the event's source.
        }
        return S_OK;
    });
}

HRESULT Connection::Connect(IUnknown* source, REFIID events, IDispatch* sink) {
    Reset();
    Microsoft::WRL::ComPtr<IConnectionPointContainer> container;
    HRESULT hr = source ? source->QueryInterface(IID_IConnectionPointContainer,
                                                 reinterpret_cast<void**>(container.GetAddressOf()))
                        : E_POINTER;
    if (SUCCEEDED(hr)) hr = container->FindConnectionPoint(events, point_.GetAddressOf());
    if (SUCCEEDED(hr)) hr = point_->Advise(sink, &cookie_);
    if (FAILED(hr)) point_.Reset();
    return hr;
}

void Connection::Reset() {
    if (point_) point_->Unadvise(cookie_);
    point_.Reset();
    cookie_ = 0;
}

std::wstring EventArgumentText(const DISPPARAMS* params, UINT i) {
    if (!params || i >= params->cArgs) return {};
    Variant arg;
    if (FAILED(::VariantCopyInd(arg.get(), &params->rgvarg[params->cArgs - 1 - i])) ||
        FAILED(::VariantChangeType(arg.get(), arg.get(), 0, VT_BSTR)) || !arg->bstrVal)
        return {};
    return std::wstring(arg->bstrVal, ::SysStringLen(arg->bstrVal));
}

}  // namespace vantrel::com

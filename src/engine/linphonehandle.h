#pragma once

// Engine-private: owning handles for the reference-counted liblinphone objects.

#include <utility>

#include <linphone/core.h>
#include <linphone/logging.h>

template <typename T> struct LinphoneRefTraits;

#define ORVALO_LINPHONE_REF_TRAITS(Type, prefix)                                                             \
    template <> struct LinphoneRefTraits<Type>                                                               \
    {                                                                                                        \
        static void ref(Type *p) { prefix##_ref(p); }                                                        \
        static void unref(Type *p) { prefix##_unref(p); }                                                    \
    };

ORVALO_LINPHONE_REF_TRAITS(LinphoneCore, linphone_core)
ORVALO_LINPHONE_REF_TRAITS(LinphoneCoreCbs, linphone_core_cbs)
ORVALO_LINPHONE_REF_TRAITS(LinphoneCall, linphone_call)
ORVALO_LINPHONE_REF_TRAITS(LinphoneAccount, linphone_account)
ORVALO_LINPHONE_REF_TRAITS(LinphoneAccountParams, linphone_account_params)
ORVALO_LINPHONE_REF_TRAITS(LinphoneAddress, linphone_address)
ORVALO_LINPHONE_REF_TRAITS(LinphoneAuthInfo, linphone_auth_info)
ORVALO_LINPHONE_REF_TRAITS(LinphoneErrorInfo, linphone_error_info)
ORVALO_LINPHONE_REF_TRAITS(LinphoneTransports, linphone_transports)
ORVALO_LINPHONE_REF_TRAITS(LinphonePlayer, linphone_player)
ORVALO_LINPHONE_REF_TRAITS(LinphoneLoggingServiceCbs, linphone_logging_service_cbs)
ORVALO_LINPHONE_REF_TRAITS(LinphoneVideoActivationPolicy, linphone_video_activation_policy)
ORVALO_LINPHONE_REF_TRAITS(LinphonePlayerCbs, linphone_player_cbs)
ORVALO_LINPHONE_REF_TRAITS(LinphoneCallParams, linphone_call_params)
ORVALO_LINPHONE_REF_TRAITS(LinphoneFriend, linphone_friend)
ORVALO_LINPHONE_REF_TRAITS(LinphoneChatRoom, linphone_chat_room)
ORVALO_LINPHONE_REF_TRAITS(LinphoneChatRoomParams, linphone_chat_room_params)
ORVALO_LINPHONE_REF_TRAITS(LinphoneChatMessage, linphone_chat_message)
ORVALO_LINPHONE_REF_TRAITS(LinphoneConference, linphone_conference)
ORVALO_LINPHONE_REF_TRAITS(LinphoneConferenceParams, linphone_conference_params)

#undef ORVALO_LINPHONE_REF_TRAITS

// One reference to a liblinphone object: adopt() what a create function returned (the reference is
// ours already), retain() what a getter or a callback lends. Copy = ref, move = steal, destructor = unref.
template <typename T> class LinphoneHandle final
{
public:
    LinphoneHandle() = default;

    static LinphoneHandle adopt(T *p)
    {
        LinphoneHandle h;
        h.m_p = p;
        return h;
    }

    static LinphoneHandle retain(T *p)
    {
        if (p)
            LinphoneRefTraits<T>::ref(p);
        return adopt(p);
    }

    LinphoneHandle(const LinphoneHandle &other)
        : m_p(other.m_p)
    {
        if (m_p)
            LinphoneRefTraits<T>::ref(m_p);
    }

    LinphoneHandle(LinphoneHandle &&other) noexcept
        : m_p(std::exchange(other.m_p, nullptr))
    { }

    LinphoneHandle &operator=(LinphoneHandle other) noexcept
    {
        std::swap(m_p, other.m_p);
        return *this;
    }

    ~LinphoneHandle() { reset(); }

    void reset()
    {
        if (T *p = std::exchange(m_p, nullptr))
            LinphoneRefTraits<T>::unref(p);
    }

    T *get() const { return m_p; }

    explicit operator bool() const { return m_p != nullptr; }

private:
    T *m_p = nullptr;
};

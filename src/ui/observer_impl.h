#pragma once

#include <algorithm>
#include <vector>

// Broadcasting of one kind of change (the skin) from an observer to its receivers.
// Either side may go first: each detaches from the other when destroyed. UI thread only.

template <class ReturnT, class ParamT> class ReceiverImpl;

template <class ReturnT, class ParamT> class ObserverImpl {
public:
    using Receiver = ReceiverImpl<ReturnT, ParamT>;

    ObserverImpl() = default;
    virtual ~ObserverImpl()
    {
        const auto receivers = m_receivers;
        for (Receiver* receiver : receivers)
            receiver->forgetObserver(this);
    }
    ObserverImpl(const ObserverImpl&) = delete;
    ObserverImpl& operator=(const ObserverImpl&) = delete;

    virtual void AddReceiver(Receiver* receiver)
    {
        if (!receiver ||
            std::find(m_receivers.begin(), m_receivers.end(), receiver) != m_receivers.end())
            return;
        m_receivers.push_back(receiver);
        receiver->AddObserver(this);
    }
    virtual void RemoveReceiver(Receiver* receiver) { std::erase(m_receivers, receiver); }
    // Hands the change to every receiver in the order they were added.
    virtual ReturnT Broadcast(ParamT param)
    {
        const auto receivers = m_receivers;
        for (Receiver* receiver : receivers)
            receiver->Receive(param);
        return ReturnT();
    }
    virtual ReturnT Notify(ParamT param)
    {
        const auto receivers = m_receivers;
        for (Receiver* receiver : receivers)
            receiver->Respond(param, this);
        return ReturnT();
    }
    std::size_t ReceiverCount() const { return m_receivers.size(); }

private:
    std::vector<Receiver*> m_receivers;
};

template <class ReturnT, class ParamT> class ReceiverImpl {
public:
    using Observer = ObserverImpl<ReturnT, ParamT>;

    ReceiverImpl() = default;
    virtual ~ReceiverImpl() { RemoveObserver(); }
    ReceiverImpl(const ReceiverImpl&) = delete;
    ReceiverImpl& operator=(const ReceiverImpl&) = delete;

    virtual void AddObserver(Observer* observer)
    {
        if (observer &&
            std::find(m_observers.begin(), m_observers.end(), observer) == m_observers.end())
            m_observers.push_back(observer);
    }
    // Leaves every observer it was added to.
    virtual void RemoveObserver()
    {
        const auto observers = m_observers;
        m_observers.clear();
        for (Observer* observer : observers)
            observer->RemoveReceiver(this);
    }
    virtual ReturnT Receive(ParamT) { return ReturnT(); }
    virtual ReturnT Respond(ParamT, Observer*) { return ReturnT(); }

private:
    friend Observer;
    void forgetObserver(Observer* observer) { std::erase(m_observers, observer); }

    std::vector<Observer*> m_observers;
};
